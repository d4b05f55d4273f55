// The palette, the random draw and the launch of one particle.
#include "plain_pass.h"
#include "support.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <set>

TEST(Palette, ReferenceEntries)
{
    const std::pair<int, Uint32> expected[] = {
        {0, 0xFFFFFF},   {1, 0xFFFFFC},   {14, 0xFFFFD5},  {15, 0xFFFFD1},  {42, 0xFFFF80},
        {43, 0xFFFF7C},  {70, 0xFFFF2B},  {71, 0xFFFF27},  {84, 0xFFFF00},  {85, 0xFFFC00},
        {168, 0xFF0300}, {169, 0xFF0000}, {170, 0xFC0000}, {253, 0x030000}, {254, 0x000000},
        {255, 0x000000},
    };
    for (auto [i, colour] : expected)
        EXPECT_EQ(palette[i], colour) << "entry " << i;
}

TEST(Palette, RunsWhiteYellowRedBlackInSteps)
{
    int steps_of_four = 0;
    for (int i = 1; i < 256; ++i) {
        Uint32 prev = palette[i - 1], cur = palette[i];
        EXPECT_EQ(cur >> 24, 0u) << i;
        int dr = int(prev >> 16 & 255) - int(cur >> 16 & 255);
        int dg = int(prev >> 8 & 255) - int(cur >> 8 & 255);
        int db = int(prev & 255) - int(cur & 255);
        if (i <= 84) {
            EXPECT_TRUE(dr == 0 && dg == 0 && (db == 3 || db == 4)) << i;
            steps_of_four += db == 4;
        } else if (i <= 169) {
            EXPECT_TRUE(dr == 0 && dg == 3 && db == 0) << i;
        } else if (i <= 254) {
            EXPECT_TRUE(dr == 3 && dg == 0 && db == 0) << i;
        } else {
            EXPECT_EQ(cur, 0u);
        }
    }
    EXPECT_EQ(steps_of_four, 3);
}

// rnd(a, b) = a + span * r / 32768: recover r from each draw.
static double recover_r(double value, int a, int b)
{
    return (value - a) * 32768.0 / (double(int64_t(b) - a + 1));
}

TEST(Rnd, ReachesBothEndsOfItsRangeExactly)
{
    seed_rnd(7);
    std::set<double> seen;
    for (int i = 0; i < 2000000; ++i) {
        double v = rnd(-15, 15);
        double r = recover_r(v, -15, 15);
        ASSERT_EQ(r, std::floor(r)) << v;
        ASSERT_GE(r, 0.0);
        ASSERT_LE(r, 32767.0);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 32768u) << "every 15-bit value turns up";
    EXPECT_EQ(*seen.begin(), -15.0);
    EXPECT_EQ(*seen.rbegin(), -15 + 31.0 * 32767 / 32768);
    EXPECT_LT(*seen.rbegin(), 16.0);
}

TEST(Rnd, MirroredWhenBoundsAreReversed)
{
    seed_rnd(11);
    double lo = 1e9, hi = -1e9;
    for (int i = 0; i < 2000000; ++i) {
        double v = rnd(22, -22);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_EQ(hi, 22.0);
    EXPECT_EQ(lo, 22 - 43.0 * 32767 / 32768);  // span -22 - 22 + 1 = -43
    EXPECT_GT(lo, -21.0);
}

TEST(Rnd, SingleWidthRangeStaysBelowOne)
{
    seed_rnd(3);
    for (int i = 0; i < 100000; ++i) {
        double v = rnd(0, 0);
        ASSERT_GE(v, 0.0);
        ASSERT_LT(v, 1.0);
    }
}

TEST(Rnd, WholeIntRangeDoesNotOverflow)
{
    seed_rnd(5);
    for (int i = 0; i < 100000; ++i) {
        double v = rnd(INT_MIN, INT_MAX);
        ASSERT_GE(v, double(INT_MIN));
        ASSERT_LT(v, double(INT_MAX) + 1);
    }
}

TEST(Rnd, SameSeedSameSequenceAndSeedsDiffer)
{
    auto draws = [](uint32_t seed) {
        seed_rnd(seed);
        std::vector<double> v;
        for (int i = 0; i < 50; ++i)
            v.push_back(rnd(0, 0));
        return v;
    };
    EXPECT_EQ(draws(1234), draws(1234));
    EXPECT_NE(draws(1234), draws(1235));
}

// The draws are the top 15 bits of a 64-bit LCG stepped once per draw, however
// they are taken: one by one, four at a time by alusta, or in groups by the pass.
TEST_F(EffectTest, DrawsFollowTheGeneratorOneStepAtATime)
{
    uint64_t state = 77;
    auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return double(state >> 49);
    };
    seed_rnd(77);
    for (int i = 0; i < 1500; ++i)  // across several refills
        ASSERT_EQ(rnd(0, 0) * 32768, next()) << "draw " << i;
    for (int i = 0; i < 300; ++i) {  // alusta now and then, so that refills come mid-launch
        particle p = make_particle(0, 0, 0, 0, 0, 5);
        alusta(p);
        for (int k = 0; k < 4; ++k)
            next();
        ASSERT_EQ(rnd(0, 0) * 32768, next()) << "after launch " << i;
    }
    // A pass takes four draws for each particle it launches again, and those
    // are the only particles of age 0 after it.
    n = 50000;
    std::vector<particle> pool(n, make_particle(500, 300, 0, 0, 250, 9));
    SDL_Surface *screen = test_screen();
    ASSERT_NE(screen, nullptr);
    for (int pass = 0; pass < 3; ++pass) {
        particle_pass(screen, pool.data(), false);
        for (const particle &p : pool)
            if (p.age == 0)
                for (int k = 0; k < 4; ++k)
                    next();
        ASSERT_EQ(rnd(0, 0) * 32768, next()) << "after pass " << pass;
    }
}

// alusta takes four draws and leaves the record the plain launch, with cos
// and sin worked out anew, leaves from them: inside the table of whole
// degrees, at its ends and past them, for fans either way round.
TEST_F(EffectTest, AlustaIsThePlainLaunchFromFourDraws)
{
    ax = 300, ay = 200;
    for (int fan : {45, 0, -45, 2160, 2162, 4000, -4000, INT_MAX - 2}) {
        kulma = fan;
        seed_rnd(99);
        std::vector<particle> plain(500, make_particle(1, 2, 3, 4, 200, 9));
        for (particle &p : plain)
            plain_alusta(p, rnd);
        const double next = rnd(0, 0);
        seed_rnd(99);
        for (const particle &expected : plain) {
            particle p = make_particle(1, 2, 3, 4, 200, 9);
            alusta(p);
            ASSERT_EQ(memcmp(&p, &expected, sizeof p), 0) << "kulma " << fan;
        }
        EXPECT_EQ(rnd(0, 0), next) << "alusta takes exactly four draws";
    }
}

TEST_F(EffectTest, AlustaStaysInItsRanges)
{
    seed_rnd(42);
    bool leans_left = false, leans_right = false;
    for (int i = 0; i < 200000; ++i) {
        particle p;
        alusta(p);
        ASSERT_GE(p.x, 588 - 15.0f);
        ASSERT_LT(p.x, 588 + 16.0f);
        ASSERT_EQ(p.y, 521.0f);
        ASSERT_EQ(p.age, 0);
        ASSERT_GE(p.koko, 5.0f);
        ASSERT_LT(p.koko, 51.0f);
        double speed = std::hypot(p.vx, p.vy);
        ASSERT_GE(speed, 10.0 - 1e-5);
        ASSERT_LT(speed, 16.0 + 1e-5);
        double theta = std::atan2(-p.vy, p.vx) * 180 / M_PI;
        ASSERT_GT(theta, 68 - 1e-3);
        ASSERT_LT(theta, 112 + 1e-3);
        leans_left |= theta > 111.5;
        leans_right |= theta < 68.5;
    }
    EXPECT_TRUE(leans_left && leans_right) << "the whole fan 68 .. 112 is used";
}

TEST_F(EffectTest, NarrowFanLaunchesStraightUp)
{
    for (int k : {0, 1}) {
        kulma = k;
        seed_rnd(1);
        for (int i = 0; i < 1000; ++i) {
            particle p;
            alusta(p);
            ASSERT_LT(std::fabs(p.vx), 1e-14f);
            ASSERT_LE(p.vy, -10.0f);
        }
    }
}

TEST_F(EffectTest, NegativeAndFullCircleFans)
{
    kulma = -45;  // draw from (-21, 22], so 69 .. 112 degrees
    seed_rnd(2);
    for (int i = 0; i < 100000; ++i) {
        particle p;
        alusta(p);
        double theta = std::atan2(-p.vy, p.vx) * 180 / M_PI;
        ASSERT_GT(theta, 69 - 1e-3);
        ASSERT_LT(theta, 112 + 1e-3);
    }
    for (int k : {182, 360, 2000, INT_MAX - 2, INT_MIN}) {
        kulma = k;
        int downwards = 0;
        for (int i = 0; i < 20000; ++i) {
            particle p;
            alusta(p);
            ASSERT_TRUE(std::isfinite(p.vx) && std::isfinite(p.vy));
            downwards += p.vy > 0;
        }
        EXPECT_GT(downwards, 0) << "kulma " << k;
    }
}
