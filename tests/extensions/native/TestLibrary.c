/* A small native library that the extension tests bind functions of: reals and strings in and
   out, and every number of real arguments a script can pass. */
#include <stdio.h>
#include <string.h>

double kr_add(double a, double b) { return a + b; }
double kr_length(const char* s) { return (double)strlen(s); }
const char* kr_join(const char* a, double n, const char* b) {
    static char text[256];
    snprintf(text, sizeof text, "%s%g%s", a, n, b);
    return text;
}
const char* kr_empty(void) { return ""; }
double kr_calls(void) { static int calls; return ++calls; }
double kr_sum0(void) { return 0; }
double kr_sum1(double a) { return a; }
double kr_sum2(double a, double b) { return a + 2 * b; }
double kr_sum3(double a, double b, double c) { return a + 2 * b + 3 * c; }
double kr_sum4(double a, double b, double c, double d) { return a + 2 * b + 3 * c + 4 * d; }
double kr_sum5(double a, double b, double c, double d, double e) {
    return a + 2 * b + 3 * c + 4 * d + 5 * e;
}
double kr_sum6(double a, double b, double c, double d, double e, double f) {
    return kr_sum5(a, b, c, d, e) + 6 * f;
}
double kr_sum7(double a, double b, double c, double d, double e, double f, double g) {
    return kr_sum6(a, b, c, d, e, f) + 7 * g;
}
double kr_sum8(double a, double b, double c, double d, double e, double f, double g, double h) {
    return kr_sum7(a, b, c, d, e, f, g) + 8 * h;
}
double kr_sum11(double a, double b, double c, double d, double e, double f, double g, double h,
                double i, double j, double k) {
    return kr_sum8(a, b, c, d, e, f, g, h) + 9 * i + 10 * j + 11 * k;
}
