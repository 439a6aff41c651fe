/* Points per second of PROJ's proj_trans_generic on the same points and conversions as
 * bench_geo_position: WGS 84 -> UTM (zone by longitude), WGS 84 -> British National Grid, and
 * back. Built and run by compare_proj.sh; not part of the library build.
 * usage: proj_rate [approx|exact]   prints "<case> <points per second>" lines */
#include <math.h>
#include <proj.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#define COUNT 4096
#define MIN_SECONDS 0.5

static double lat[COUNT], lon[COUNT];

/* The same linear congruential sequence as bench/geo_position.cpp. */
static void make_points(void) {
  uint64_t state = 12345;
  for (int i = 0; i < COUNT; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    lat[i] = 50.0 + 8.5 * ((double)(state >> 11) / 9007199254740992.0);
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    lon[i] = -7.5 + 9.0 * ((double)(state >> 11) / 9007199254740992.0);
  }
}

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);  /* CPU time, as Google Benchmark rates */
  return t.tv_sec + t.tv_nsec * 1e-9;
}

static PJ* make(PJ_CONTEXT* ctx, const char* target) {
  PJ* raw = proj_create_crs_to_crs(ctx, "+proj=longlat +datum=WGS84 +type=crs", target, NULL);
  PJ* norm = raw ? proj_normalize_for_visualization(ctx, raw) : NULL;
  proj_destroy(raw);
  if (!norm) {
    fprintf(stderr, "proj_rate: cannot make %s\n", target);
    exit(1);
  }
  return norm;
}

/* Runs groups of points through their transformations until MIN_SECONDS have passed. */
static double rate(PJ** ops, double* const* x, double* const* y, const size_t* n, int groups,
                   PJ_DIRECTION dir, double* const* sx, double* const* sy) {
  double start = now(), elapsed = 0;
  long points = 0;
  while ((elapsed = now() - start) < MIN_SECONDS) {
    for (int g = 0; g < groups; ++g) {
      memcpy(x[g], sx[g], n[g] * sizeof(double));
      memcpy(y[g], sy[g], n[g] * sizeof(double));
      proj_trans_generic(ops[g], dir, x[g], sizeof(double), n[g], y[g], sizeof(double), n[g],
                         NULL, 0, 0, NULL, 0, 0);
      points += (long)n[g];
    }
  }
  return points / elapsed;
}

int main(int argc, char** argv) {
  const char* tm = argc > 1 && strcmp(argv[1], "exact") == 0 ? "" : " +approx";
  PJ_CONTEXT* ctx = proj_context_create();
  make_points();

  /* UTM: one transformation per zone, the points grouped by zone beforehand. */
  PJ* utm[3];
  double *gx[3], *gy[3], *x[3], *y[3], *ex[3], *ey[3];
  size_t n[3] = {0, 0, 0};
  for (int g = 0; g < 3; ++g) {
    char def[200];
    snprintf(def, sizeof def, "+proj=utm +zone=%d +datum=WGS84%s +type=crs", 29 + g, tm);
    utm[g] = make(ctx, def);
    gx[g] = malloc(COUNT * sizeof(double)); gy[g] = malloc(COUNT * sizeof(double));
    x[g] = malloc(COUNT * sizeof(double)); y[g] = malloc(COUNT * sizeof(double));
    ex[g] = malloc(COUNT * sizeof(double)); ey[g] = malloc(COUNT * sizeof(double));
  }
  for (int i = 0; i < COUNT; ++i) {
    int g = (int)floor(lon[i] / 6) + 31 - 29;
    gx[g][n[g]] = lon[i];
    gy[g][n[g]] = lat[i];
    ++n[g];
  }
  printf("Wgs84ToUtm %.0f\n", rate(utm, x, y, n, 3, PJ_FWD, gx, gy));
  for (int g = 0; g < 3; ++g) {
    memcpy(ex[g], gx[g], n[g] * sizeof(double)); memcpy(ey[g], gy[g], n[g] * sizeof(double));
    proj_trans_generic(utm[g], PJ_FWD, ex[g], sizeof(double), n[g], ey[g], sizeof(double), n[g],
                       NULL, 0, 0, NULL, 0, 0);
  }
  printf("UtmToWgs84 %.0f\n", rate(utm, x, y, n, 3, PJ_INV, ex, ey));

  char bng_def[300];
  snprintf(bng_def, sizeof bng_def,
           "+proj=tmerc%s +lat_0=49 +lon_0=-2 +k_0=0.9996012717 +x_0=400000 +y_0=-100000 "
           "+a=6377563.396 +es=0.00667054 +towgs84=375,-111,431 +units=m +type=crs", tm);
  PJ* bng = make(ctx, bng_def);
  size_t all = COUNT;
  double* bx = malloc(COUNT * sizeof(double));
  double* by = malloc(COUNT * sizeof(double));
  double *px = lon, *py = lat;
  printf("Wgs84ToBritishNationalGrid %.0f\n", rate(&bng, &bx, &by, &all, 1, PJ_FWD, &px, &py));
  double* fx = malloc(COUNT * sizeof(double));
  double* fy = malloc(COUNT * sizeof(double));
  memcpy(fx, lon, sizeof lon); memcpy(fy, lat, sizeof lat);
  proj_trans_generic(bng, PJ_FWD, fx, sizeof(double), COUNT, fy, sizeof(double), COUNT, NULL, 0,
                     0, NULL, 0, 0);
  printf("BritishNationalGridToWgs84 %.0f\n", rate(&bng, &bx, &by, &all, 1, PJ_INV, &fx, &fy));
  return 0;
}
