/* The native side of the Greet extension: functions a game calls through its package. */
#include <stdio.h>

double greet_add(double a, double b) {
    return a + b;
}

const char* greet_join(const char* a, const char* b) {
    static char text[512];
    snprintf(text, sizeof text, "%s and %s", a, b);
    return text;
}
