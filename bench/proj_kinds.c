/* Points per second of PROJ's proj_trans_generic for the projection kinds that PROJ has, on
 * the same points, grids and ellipsoids as bench_projections (no datum shift). Built and run by
 * compare_proj.sh; not part of the library build.
 * usage: proj_kinds     prints "<case> <points per second>" lines */
#include <math.h>
#include <proj.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#define COUNT 4096
#define MIN_SECONDS 0.5
#define DEG 0.017453292519943295

struct kind {
  const char* name;
  const char* def;
  double lat_min, lat_max, lon_min, lon_max;
};

/* The grids' rows and ellipsoids. PROJ's lcc has no Belgian cone-angle correction; moving
 * lon_0 east by correction / n gives the same projection (tests/data/proj/make_reference.py). */
static const struct kind kinds[] = {
    {"SwissOblique",
     "+proj=somerc +lat_0=46.9524055556 +lon_0=7.4395833333 +k_0=1 +x_0=600000 +y_0=200000 "
     "+a=6377397.155 +es=0.006674372230614",
     45.8, 47.8, 5.95, 10.5},
    {"NewZealandMapGrid",
     "+proj=nzmg +lat_0=-41 +lon_0=173 +x_0=2510000 +y_0=6023150 +a=6378388 +es=0.006722670022",
     -47.4, -34.4, 166.4, 178.6},
    {"LambertConic",
     "+proj=lcc +lat_0=46.5 +lon_0=3 +lat_1=44 +lat_2=49 +x_0=700000 +y_0=6600000 "
     "+a=6378137 +es=0.006694380023011",
     42.3, 51.1, -4.8, 8.2},
    {"LambertBelgian",
     "+proj=lcc +lat_0=90 +lon_0=4.367486673059301 +lat_1=49.8333333333 +lat_2=51.1666666667 "
     "+x_0=150000.01 +y_0=5400088.44 +a=6378388 +es=0.006722670022",
     49.5, 51.5, 2.55, 6.4},
    {"ObliqueStereographic",
     "+proj=sterea +lat_0=52.1561605556 +lon_0=5.3876388889 +k=0.9999079 +x_0=155000 "
     "+y_0=463000 +a=6377397.155 +es=0.006674372230614",
     50.75, 53.55, 3.35, 7.25},
};

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);  /* CPU time, as Google Benchmark rates */
  return t.tv_sec + t.tv_nsec * 1e-9;
}

/* The same linear congruential sequence as bench/projections.cpp; x = lambda, y = phi. */
static void make_points(const struct kind* k, double* x, double* y) {
  uint64_t state = 12345;
  for (int i = 0; i < COUNT; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    y[i] = (k->lat_min + (k->lat_max - k->lat_min) * ((double)(state >> 11) / 9007199254740992.0)) * DEG;
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    x[i] = (k->lon_min + (k->lon_max - k->lon_min) * ((double)(state >> 11) / 9007199254740992.0)) * DEG;
  }
}

static double rate(PJ* p, PJ_DIRECTION dir, const double* sx, const double* sy) {
  static double x[COUNT], y[COUNT];
  double start = now(), elapsed = 0;
  long points = 0;
  while ((elapsed = now() - start) < MIN_SECONDS) {
    memcpy(x, sx, sizeof x);
    memcpy(y, sy, sizeof y);
    proj_trans_generic(p, dir, x, sizeof(double), COUNT, y, sizeof(double), COUNT, NULL, 0, 0,
                       NULL, 0, 0);
    points += COUNT;
  }
  return points / elapsed;
}

int main(void) {
  PJ_CONTEXT* ctx = proj_context_create();
  static double gx[COUNT], gy[COUNT], ex[COUNT], ey[COUNT];
  for (size_t i = 0; i < sizeof kinds / sizeof kinds[0]; ++i) {
    const struct kind* k = &kinds[i];
    PJ* p = proj_create(ctx, k->def);
    if (!p) {
      fprintf(stderr, "proj_kinds: cannot make %s\n", k->def);
      return 1;
    }
    make_points(k, gx, gy);
    printf("%sForward %.0f\n", k->name, rate(p, PJ_FWD, gx, gy));
    memcpy(ex, gx, sizeof ex);
    memcpy(ey, gy, sizeof ey);
    proj_trans_generic(p, PJ_FWD, ex, sizeof(double), COUNT, ey, sizeof(double), COUNT, NULL, 0,
                       0, NULL, 0, 0);
    printf("%sInverse %.0f\n", k->name, rate(p, PJ_INV, ex, ey));
    proj_destroy(p);
  }
  proj_context_destroy(ctx);
  return 0;
}
