// The particle pass on the dummy driver's real display surface.
#include "support.h"

#include <cmath>
#include <cstring>

class PassTest : public EffectTest {
  protected:
    SDL_Surface *screen = test_screen();
    void SetUp() override
    {
        ASSERT_NE(screen, nullptr) << SDL_GetError();
        fill_screen(screen, 0x123456);
    }
    // Runs one pass over the given particles alone.
    void pass(std::vector<particle> ps, bool bounce = false)
    {
        n = int(ps.size());
        std::copy(ps.begin(), ps.end(), pool.begin());
        particle_pass(screen, pool.data(), bounce);
    }
    bool relaunched(const particle &p) const { return p.age == 0 && p.y == float(ay); }
    int pixels_not(Uint32 value) const
    {
        int count = 0;
        for (int y = 0; y < screen_h; ++y)
            for (int x = 0; x < screen_w; ++x)
                count += pixel_at(screen, x, y) != value;
        return count;
    }
};

TEST_F(PassTest, FreshParticleIsMovedAndAgedButNotDrawn)
{
    pass({make_particle(100.5f, 200.25f, 2, -3, 0, 7.9f)});
    EXPECT_EQ(pixels_not(0x123456), 0);
    EXPECT_EQ(pool[0].age, 7);
    EXPECT_EQ(pool[0].x, 102.5f);
    EXPECT_EQ(pool[0].y, 197.25f);
    EXPECT_EQ(pool[0].vy, float(-3 + 7.9f / 15.0));
}

TEST_F(PassTest, DrawsA3x3SquareAtTheStartOfPassPosition)
{
    pass({make_particle(100.9f, 200.99f, 5, 5, 100, 5)});
    for (int y = 199; y <= 204; ++y)
        for (int x = 99; x <= 104; ++x) {
            bool inside = x >= 100 && x <= 102 && y >= 200 && y <= 202;
            EXPECT_EQ(pixel_at(screen, x, y), inside ? palette[100] : 0x123456u) << x << "," << y;
        }
    EXPECT_EQ(pixels_not(0x123456), 9);
    EXPECT_EQ(pool[0].age, 105);
}

TEST_F(PassTest, LaterSlotCoversEarlierOne)
{
    pass({make_particle(50, 50, 1, 1, 10, 5), make_particle(51, 51, 1, 1, 200, 5)});
    EXPECT_EQ(pixel_at(screen, 50, 50), palette[10]);
    EXPECT_EQ(pixel_at(screen, 51, 51), palette[200]);
    EXPECT_EQ(pixel_at(screen, 52, 52), palette[200]);
    EXPECT_EQ(pixels_not(0x123456), 9 + 5);
}

TEST_F(PassTest, BurnsOutAndRelaunchesInTheSamePass)
{
    pass({make_particle(300, 300, 0, 0, 250, 5.7f)});
    EXPECT_EQ(pixel_at(screen, 301, 301), palette[250]);
    EXPECT_TRUE(relaunched(pool[0]));

    pass({make_particle(300, 300, 0, 0, 249, 5.7f)});
    EXPECT_EQ(pool[0].age, 254) << "254 still burns";
}

TEST_F(PassTest, EdgesOfTheDrawingArea)
{
    // New x of exactly 1021 or y of exactly 765 leaves; exactly 0 stays.
    pass({make_particle(1020, 300, 1, 0, 10, 5), make_particle(1, 300, -1, 0, 10, 5),
          make_particle(300, 764, 0, 1, 10, 5), make_particle(300, 1, 0, -1, 10, 5),
          make_particle(1, 300, -1.0001f, 0, 10, 5), make_particle(300, 1, 0, -1.0001f, 10, 5)});
    EXPECT_TRUE(relaunched(pool[0]));
    EXPECT_EQ(pool[1].x, 0.0f);
    EXPECT_EQ(pool[1].age, 15);
    EXPECT_TRUE(relaunched(pool[2]));
    EXPECT_EQ(pool[3].y, 0.0f);
    EXPECT_EQ(pool[3].age, 15);
    EXPECT_TRUE(relaunched(pool[4]));
    EXPECT_TRUE(relaunched(pool[5]));
}

TEST_F(PassTest, EdgeTestUsesTheUnroundedSum)
{
    // 1020.99994 + 0.00005 is below 1021 but rounds to 1021.0f when stored.
    float below = std::nextafter(1021.0f, 0.0f);
    pass({make_particle(below, 300, 0.00005f, 0, 10, 5)});
    EXPECT_EQ(pool[0].age, 15) << "not relaunched";
    EXPECT_EQ(pool[0].x, 1021.0f);

    // Drawn there next pass, its square still fits the screen.
    fill_screen(screen, 0x123456);
    particle_pass(screen, pool.data(), false);
    EXPECT_EQ(pixel_at(screen, 1023, 300), palette[15]);
}

TEST_F(PassTest, BounceReversesBeforeTheMove)
{
    pass({make_particle(5, 300, -8, 0, 10, 5)}, true);
    EXPECT_EQ(pool[0].vx, 8.0f);
    EXPECT_EQ(pool[0].x, 13.0f);

    pass({make_particle(5, 300, -8, 0, 10, 5)}, false);
    EXPECT_TRUE(relaunched(pool[0]));

    pass({make_particle(300, 760, 0, 6, 10, 5)}, true);
    EXPECT_EQ(pool[0].y, 754.0f);
    EXPECT_EQ(pool[0].vy, float(-6 + 5 / 15.0));

    pass({make_particle(1019, 2, 3, -3, 10, 5)}, true);
    EXPECT_EQ(pool[0].x, 1016.0f);
    EXPECT_EQ(pool[0].y, 5.0f);
}

TEST_F(PassTest, BouncingParticleStillBurnsOut)
{
    pass({make_particle(5, 300, -8, 0, 250, 5)}, true);
    EXPECT_TRUE(relaunched(pool[0]));
}

TEST_F(PassTest, PullFollowsPainovoimaInDoublePrecision)
{
    painovoima = 1;
    pass({make_particle(300, 300, 0, -5, 10, 7.5f)});
    EXPECT_EQ(pool[0].vy, 2.5f);

    painovoima = 50;
    pass({make_particle(300, 300, 0, -5, 10, 7.5f)});
    EXPECT_EQ(pool[0].vy, float(-5 + 7.5 / 50));

    // Float arithmetic, each result rounded to a float (stored, so that the
    // x87 unit of 32-bit x86 rounds it too), would give -0.32433331 here.
    painovoima = 30;
    pass({make_particle(300, 300, 0, -1.68f, 10, 40.67f)});
    EXPECT_EQ(pool[0].vy, float(double(-1.68f) + double(40.67f) / 30));
    volatile float float_pull = 40.67f / 30.0f, float_only = -1.68f + float_pull;
    EXPECT_NE(pool[0].vy, float_only);
    EXPECT_EQ(pool[0].y, 300 - 1.68f) << "the move uses the speed from before the pull";
}

TEST_F(PassTest, SlotsAtAndAboveNAreLeftAlone)
{
    pool[0] = make_particle(10, 10, 1, 1, 10, 5);
    pool[1] = make_particle(20, 20, 1, 1, 10, 5);
    n = 1;
    particle before = pool[1];
    particle_pass(screen, pool.data(), false);
    EXPECT_EQ(memcmp(&pool[1], &before, sizeof before), 0);
    EXPECT_EQ(pixel_at(screen, 20, 20), 0x123456u);
}

TEST_F(PassTest, ManyPassesKeepEveryParticleInBounds)
{
    n = 20000;
    seed_rnd(8);
    for (int i = 0; i < n; ++i)
        alusta(pool[i]);
    for (int frame = 0; frame < 300; ++frame) {
        particle_pass(screen, pool.data(), frame % 100 < 50);
        for (int i = 0; i < n; ++i) {
            const particle &p = pool[i];
            ASSERT_LE(p.age, 254);
            if (p.age > 0) {
                ASSERT_TRUE(p.x >= 0 && p.x <= 1021 && p.y >= 0 && p.y <= 765) << p.x << "," << p.y;
            }
        }
    }
}
