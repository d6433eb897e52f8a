/* The plain way to fold an X,Y,Z list, for the whole-process benchmark: getc, strtod, qsort with
 * the converter's comparison, fprintf. It checks and converts exactly as gridfold does for the
 * benchmark's list, so that the two outputs can be compared byte for byte.
 *
 *   plain_fold INPUT.xyz OUTPUT.csv */
#include <stdio.h>
#include <stdlib.h>

typedef struct {
  double x, y, z;
} Point;

static int compare(const void* left, const void* right) {
  const Point* a = left;
  const Point* b = right;
  long double d = (long double)a->y - b->y;
  if (d == 0) d = (long double)a->x - b->x;
  if (d == 0) d = (long double)a->z - b->z;
  return d < 0 ? -1 : d > 0 ? 1 : 0;
}

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  FILE* in = fopen(argv[1], "r");
  if (!in) return 1;
  long lines = 0, commas = 0;
  int c;
  while ((c = getc(in)) != EOF) {
    if (c == ',') {
      ++commas;
    } else if (c == '\n') {
      if (commas != 2) return 1;
      ++lines;
      commas = 0;
    }
  }
  rewind(in);
  FILE* out = fopen(argv[2], "wb");
  Point* points = calloc(3 * (size_t)lines, sizeof(Point));
  if (!out || !points) return 1;
  char text[64];
  int length = 0;
  long n = 0;
  while ((c = getc(in)) != EOF) {
    if (c == ',' || c == '\n') {
      text[length] = '\0';
      (&points[n / 3].x)[n % 3] = strtod(text, NULL);
      ++n;
      length = 0;
    } else if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.') {
      if (length < 63) text[length++] = (char)c;
    }
  }
  long count = n / 3;
  qsort(points, (size_t)count, sizeof(Point), compare);
  fputs("XYZ", out);
  for (long i = 0; i < count && points[i].y == points[0].y; ++i) fprintf(out, ",%f", points[i].x);
  double rowY = 0;
  for (long i = 0; i < count; ++i) {
    if (i == 0 || points[i].y != rowY) {
      fprintf(out, "\r\n%f", points[i].y);
      rowY = points[i].y;
    }
    fprintf(out, ",%f", points[i].z);
  }
  fclose(out);
  fclose(in);
  free(points);
  return 0;
}
