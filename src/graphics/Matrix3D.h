// Matrix3D: 4 x 4 matrices in the left-handed, row-vector convention of the 3D functions: a point
// p (as a row) becomes p × M, so in A × B the transformation A acts first. The constructors
// compute the matrices of the classic left-handed helper functions (look-at, perspective,
// orthographic, rotations about the axes and about any axis).
#pragma once

#include <array>
#include <cmath>

namespace kr {

struct Mat4 {
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    static Mat4 Identity() { return Mat4{}; }

    friend Mat4 operator*(const Mat4& a, const Mat4& b) {
        Mat4 r;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                            a.m[i][3] * b.m[3][j];
        return r;
    }

    // The rows one after another, which is the column-major layout of the same transformation
    // for column vectors (what the device takes).
    std::array<float, 16> ColumnMajor() const {
        std::array<float, 16> f{};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) f[size_t(i * 4 + j)] = float(m[i][j]);
        return f;
    }

    // Transforms the point (x, y, z, 1); the result before the division by w.
    void Apply(double x, double y, double z, double (&out)[4]) const {
        for (int j = 0; j < 4; ++j) out[j] = x * m[0][j] + y * m[1][j] + z * m[2][j] + m[3][j];
    }

    static Mat4 Translation(double x, double y, double z) {
        Mat4 r;
        r.m[3][0] = x, r.m[3][1] = y, r.m[3][2] = z;
        return r;
    }

    static Mat4 Scaling(double x, double y, double z) {
        Mat4 r;
        r.m[0][0] = x, r.m[1][1] = y, r.m[2][2] = z;
        return r;
    }

    // Angles in radians.
    static Mat4 RotationX(double a) {
        Mat4 r;
        double c = std::cos(a), s = std::sin(a);
        r.m[1][1] = c, r.m[1][2] = s, r.m[2][1] = -s, r.m[2][2] = c;
        return r;
    }

    static Mat4 RotationY(double a) {
        Mat4 r;
        double c = std::cos(a), s = std::sin(a);
        r.m[0][0] = c, r.m[0][2] = -s, r.m[2][0] = s, r.m[2][2] = c;
        return r;
    }

    static Mat4 RotationZ(double a) {
        Mat4 r;
        double c = std::cos(a), s = std::sin(a);
        r.m[0][0] = c, r.m[0][1] = s, r.m[1][0] = -s, r.m[1][1] = c;
        return r;
    }

    // About the axis (x, y, z); a zero axis gives the identity.
    static Mat4 RotationAxis(double x, double y, double z, double a) {
        double len = std::sqrt(x * x + y * y + z * z);
        if (!(len > 0)) return Mat4{};
        x /= len, y /= len, z /= len;
        double c = std::cos(a), s = std::sin(a), t = 1 - c;
        Mat4 r;
        r.m[0][0] = t * x * x + c, r.m[0][1] = t * x * y + s * z, r.m[0][2] = t * x * z - s * y;
        r.m[1][0] = t * x * y - s * z, r.m[1][1] = t * y * y + c, r.m[1][2] = t * y * z + s * x;
        r.m[2][0] = t * x * z + s * y, r.m[2][1] = t * y * z - s * x, r.m[2][2] = t * z * z + c;
        return r;
    }

    // The view from `eye` towards `at` with `up` pointing up. Degenerate vectors give zero rows,
    // which draw nothing, rather than undefined numbers.
    static Mat4 LookAtLH(const double (&eye)[3], const double (&at)[3], const double (&up)[3]) {
        double z[3] = {at[0] - eye[0], at[1] - eye[1], at[2] - eye[2]};
        Normalize(z);
        double x[3];
        Cross(up, z, x);
        Normalize(x);
        double y[3];
        Cross(z, x, y);
        Mat4 r;
        for (int i = 0; i < 3; ++i) r.m[i][0] = x[i], r.m[i][1] = y[i], r.m[i][2] = z[i];
        r.m[3][0] = -Dot(x, eye), r.m[3][1] = -Dot(y, eye), r.m[3][2] = -Dot(z, eye);
        return r;
    }

    static Mat4 PerspectiveFovLH(double fovy, double aspect, double zn, double zf) {
        Mat4 r;
        double ys = 1 / std::tan(fovy / 2), xs = ys / aspect;
        r.m[0][0] = xs, r.m[1][1] = ys;
        r.m[2][2] = zf / (zf - zn), r.m[2][3] = 1;
        r.m[3][2] = -zn * zf / (zf - zn), r.m[3][3] = 0;
        return r;
    }

    static Mat4 PerspectiveLH(double w, double h, double zn, double zf) {
        Mat4 r;
        r.m[0][0] = 2 * zn / w, r.m[1][1] = 2 * zn / h;
        r.m[2][2] = zf / (zf - zn), r.m[2][3] = 1;
        r.m[3][2] = zn * zf / (zn - zf), r.m[3][3] = 0;
        return r;
    }

    static Mat4 OrthoLH(double w, double h, double zn, double zf) {
        Mat4 r;
        r.m[0][0] = 2 / w, r.m[1][1] = 2 / h;
        r.m[2][2] = 1 / (zf - zn), r.m[3][2] = zn / (zn - zf);
        return r;
    }

private:
    static void Normalize(double (&v)[3]) {
        double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (len > 0)
            v[0] /= len, v[1] /= len, v[2] /= len;
        else
            v[0] = v[1] = v[2] = 0;
    }
    static void Cross(const double (&a)[3], const double (&b)[3], double (&out)[3]) {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    }
    static double Dot(const double (&a)[3], const double (&b)[3]) {
        return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    }
};

}  // namespace kr
