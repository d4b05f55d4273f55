// The controls, fed key and mouse states as SDL would report them.
#include "shell.h"
#include "support.h"

#include <climits>
#include <cstring>

class ControlsTest : public EffectTest {
  protected:
    Uint8 keys[key_states] = {};
    bool quit = false, bounce = false;
    Uint8 buttons = 0;
    int mouse_x = 0, mouse_y = 0;

    void hold(std::initializer_list<SDLKey> held, int passes = 1)
    {
        memset(keys, 0, sizeof keys);
        for (SDLKey k : held)
            keys[k] = 1;
        for (int i = 0; i < passes; ++i)
            apply_controls(keys, buttons, mouse_x, mouse_y, quit, bounce, pool.data());
    }
};

TEST_F(ControlsTest, NothingHeldChangesNothing)
{
    const int n0 = n, painovoima0 = painovoima, kulma0 = kulma, ax0 = ax, ay0 = ay;
    mouse_x = 100, mouse_y = 100;  // the pointer over the window, no button down
    hold({}, 10);
    EXPECT_FALSE(quit);
    EXPECT_FALSE(bounce);
    EXPECT_EQ(n, n0);
    EXPECT_EQ(painovoima, painovoima0);
    EXPECT_EQ(kulma, kulma0);
    EXPECT_EQ(ax, ax0);
    EXPECT_EQ(ay, ay0);
}

TEST_F(ControlsTest, EscapeQuits)
{
    hold({SDLK_ESCAPE});
    EXPECT_TRUE(quit);
}

TEST_F(ControlsTest, FanWidensAndNarrowsByFive)
{
    hold({SDLK_q}, 3);
    EXPECT_EQ(kulma, 60);
    hold({SDLK_w}, 20);
    EXPECT_EQ(kulma, -40);
    hold({SDLK_q, SDLK_w}, 7);
    EXPECT_EQ(kulma, -40);
}

TEST_F(ControlsTest, FanStopsAtTheEndsOfTheIntRange)
{
    kulma = INT_MAX - 7;
    hold({SDLK_q}, 5);
    EXPECT_EQ(kulma, INT_MAX - 2);
    hold({SDLK_w});
    EXPECT_EQ(kulma, INT_MAX - 7);

    kulma = INT_MIN + 7;
    hold({SDLK_w}, 5);
    EXPECT_EQ(kulma, INT_MIN + 2);
    hold({SDLK_q});
    EXPECT_EQ(kulma, INT_MIN + 7);
}

TEST_F(ControlsTest, PullStaysWithinOneToFifty)
{
    hold({SDLK_e}, 100);
    EXPECT_EQ(painovoima, 50);
    hold({SDLK_e, SDLK_r});
    EXPECT_EQ(painovoima, 49) << "at 50, e does nothing and r lowers";
    hold({SDLK_e, SDLK_r}, 5);
    EXPECT_EQ(painovoima, 49);
    hold({SDLK_r}, 100);
    EXPECT_EQ(painovoima, 1);
    hold({SDLK_e, SDLK_r});
    EXPECT_EQ(painovoima, 1) << "at 1, e raises to 2 and r lowers back";
}

TEST_F(ControlsTest, BounceFlipsOnEveryPassWhileHeld)
{
    hold({SDLK_b}, 2);
    EXPECT_FALSE(bounce);
    hold({SDLK_b}, 3);
    EXPECT_TRUE(bounce);
    hold({}, 5);
    EXPECT_TRUE(bounce);
}

TEST_F(ControlsTest, ParticleCountMovesInBatchesWithinItsRange)
{
    hold({SDLK_s});
    EXPECT_EQ(n, 1000);
    hold({SDLK_a}, 3);
    EXPECT_EQ(n, 4000);
    hold({SDLK_a}, 2000);
    EXPECT_EQ(n, 999000);
    particle last_slot = pool[999000];
    hold({SDLK_a});
    EXPECT_EQ(n, 999000);
    EXPECT_EQ(memcmp(&last_slot, &pool[999000], sizeof last_slot), 0) << "slots past 999000 stay unused";
    hold({SDLK_s}, 5000);
    EXPECT_EQ(n, 1000);
}

TEST_F(ControlsTest, AddedSlotsStartFreshAtTheEmitter)
{
    for (int i = 1000; i < 2001; ++i)
        pool[i] = make_particle(7, 7, 1, 1, 200, 9);
    ax = 100, ay = 400;
    hold({SDLK_a, SDLK_s});
    EXPECT_EQ(n, 1000) << "a adds a batch, s drops it again";
    for (int i = 1000; i < 2000; ++i) {
        ASSERT_EQ(pool[i].age, 0);
        ASSERT_EQ(pool[i].y, 400.0f);
        ASSERT_GE(pool[i].x, 85.0f);
        ASSERT_LT(pool[i].x, 116.0f);
    }
    EXPECT_EQ(pool[2000].age, 200) << "only the batch is launched";
}

TEST_F(ControlsTest, LeftButtonMovesTheEmitterAxisByAxis)
{
    buttons = SDL_BUTTON(1), mouse_x = 10, mouse_y = 20;
    hold({});
    EXPECT_EQ(ax, 10);
    EXPECT_EQ(ay, 20);

    mouse_x = 1023, mouse_y = 300;
    hold({});
    EXPECT_EQ(ax, 10);
    EXPECT_EQ(ay, 300);

    mouse_x = 1020, mouse_y = 764;
    hold({});
    EXPECT_EQ(ax, 1020);
    EXPECT_EQ(ay, 764);

    mouse_x = 500, mouse_y = 765;
    hold({});
    EXPECT_EQ(ax, 500);
    EXPECT_EQ(ay, 764);

    mouse_x = -1, mouse_y = -300;  // outside the window, taken as unsigned
    hold({});
    EXPECT_EQ(ax, 500);
    EXPECT_EQ(ay, 764);
}

TEST_F(ControlsTest, OtherButtonsDoNothing)
{
    mouse_x = 10, mouse_y = 20;
    for (Uint8 mask : {SDL_BUTTON(2), SDL_BUTTON(3), SDL_BUTTON(4), SDL_BUTTON(5)}) {
        buttons = mask;
        hold({});
    }
    EXPECT_EQ(ax, 588);
    EXPECT_EQ(ay, 521);
}

TEST_F(ControlsTest, EveryKeyTogether)
{
    hold({SDLK_ESCAPE, SDLK_q, SDLK_w, SDLK_e, SDLK_r, SDLK_b, SDLK_a, SDLK_s});
    EXPECT_TRUE(quit);
    EXPECT_TRUE(bounce);
    EXPECT_EQ(kulma, 45);
    EXPECT_EQ(painovoima, 15);
    EXPECT_EQ(n, 1000);
}
