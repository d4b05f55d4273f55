// The particle effect: settings, the particle record, the palette, launching
// and the per-frame pass.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>

// Settings that steer the effect. Only the controls change them after start.
extern int n;           // live particles: slots 0 .. n-1
extern int painovoima;  // divisor of the downward pull
extern int kulma;       // width of the launch fan in degrees
extern int ax, ay;      // emitter
extern int minvoima, maxvoima;  // launch speed range
extern int minkoko, maxkoko;    // koko range

constexpr int pool_size = 1000000;
constexpr int min_particles = 1000;
constexpr int max_particles = 999000;
constexpr int particle_batch = 1000;

constexpr int screen_w = 1024;
constexpr int screen_h = 768;
constexpr int dot_size = 3;
// A particle lives while its square fits on the screen.
constexpr int area_w = screen_w - dot_size;  // 0 <= x < 1021
constexpr int area_h = screen_h - dot_size;  // 0 <= y < 765

struct particle {
    float x, y;    // top-left corner of the square, screen pixels
    float vx, vy;  // pixels per frame, vy < 0 is upwards
    int32_t age;   // palette index; relaunch once past 254
    float koko;    // ages the particle and sets its pull
};

// Fire colours as raw 0x00RRGGBB pixels: white, yellow, red, black.
extern const std::array<Uint32, 256> palette;

// Seeds the generator behind rnd; before the first seed it runs from a fixed state.
void seed_rnd(uint32_t seed);
// Uniform in [a, b + 1), mirrored to (b + 1, a] when b < a. One draw per call.
double rnd(int a, int b);
// Launches p from the emitter with a fresh direction, speed and koko.
void alusta(particle &p);
// Draws, ages, bounces, moves and relaunches particles 0 .. n-1.
void particle_pass(SDL_Surface *screen, particle *particles, bool bounce);
