// spline_reference.h - independent answers for the distribution tests: the
// C2 cubic spline with parabolic run-out (second derivatives from a dense
// system solved by Gaussian elimination with pivoting), its slopes at the
// knots, and the bicubic Hermite patch written with the normalised basis
// functions. Nothing here shares code or formulation with the library.
#pragma once

#include <cmath>
#include <utility>
#include <vector>

namespace reference {

// Second derivatives M of the spline through (x, y): continuity of the
// first derivative at inner knots, M[0] = M[1] and M[n-1] = M[n-2] at the
// ends (a parabola on each end interval). Two knots: the straight line.
inline std::vector<double> SecondDerivatives(const std::vector<double>& x, const std::vector<double>& y)
{
    const size_t n = x.size();
    std::vector<double> M(n, 0.0);
    if (n < 3) return M;
    std::vector<std::vector<double>> A;   // rows of the augmented matrix
    for (size_t r = 0; r < n; ++r) A.emplace_back(n + 1, 0.0);
    A[0][0] = 1, A[0][1] = -1;
    A[n - 1][n - 2] = -1, A[n - 1][n - 1] = 1;
    for (size_t k = 1; k + 1 < n; ++k) {
        const double h0 = x[k] - x[k - 1], h1 = x[k + 1] - x[k];
        A[k][k - 1] = h0;
        A[k][k] = 2 * (h0 + h1);
        A[k][k + 1] = h1;
        A[k][n] = 6 * ((y[k + 1] - y[k]) / h1 - (y[k] - y[k - 1]) / h0);
    }
    for (size_t c = 0; c < n; ++c) {
        size_t pivot = c;
        for (size_t r = c + 1; r < n; ++r)
            if (std::fabs(A[r][c]) > std::fabs(A[pivot][c])) pivot = r;
        std::swap(A[c], A[pivot]);
        for (size_t r = 0; r < n; ++r) {
            if (r == c) continue;
            const double f = A[r][c] / A[c][c];
            for (size_t k = c; k <= n; ++k) A[r][k] -= f * A[c][k];
        }
    }
    for (size_t k = 0; k < n; ++k) M[k] = A[k][n] / A[k][k];
    return M;
}

struct Spline {
    std::vector<double> x, y, M;
    Spline(std::vector<double> xs, std::vector<double> ys) : x(std::move(xs)), y(std::move(ys))
    {
        M = SecondDerivatives(x, y);
    }
    size_t Interval(double t) const
    {
        size_t k = 0;
        while (k + 2 < x.size() && t > x[k + 1]) ++k;
        return k;
    }
    double operator()(double t) const
    {
        if (x.size() == 1) return y[0];
        const size_t k = Interval(t);
        const double h = x[k + 1] - x[k], a = (x[k + 1] - t) / h, b = (t - x[k]) / h;
        return a * y[k] + b * y[k + 1] + ((a * a * a - a) * M[k] + (b * b * b - b) * M[k + 1]) * h * h / 6;
    }
    // First derivative at knot k.
    double Slope(size_t k) const
    {
        if (x.size() == 1) return 0.0;
        if (k + 1 < x.size()) {
            const double h = x[k + 1] - x[k];
            return (y[k + 1] - y[k]) / h - h * (2 * M[k] + M[k + 1]) / 6;
        }
        const double h = x[k] - x[k - 1];
        return (y[k] - y[k - 1]) / h + h * (M[k - 1] + 2 * M[k]) / 6;
    }
};

// A grid f(v_i, h_j) (f[j][i]) and the bicubic Hermite interpolant whose
// knot slopes come from the splines along each axis and whose cross slopes
// are the horizontal spline slopes of the vertical slopes.
struct Bicubic {
    std::vector<double> v, h;
    std::vector<std::vector<double>> f, fv, fh, fvh;   // [j][i]

    Bicubic(std::vector<double> vs, std::vector<double> hs, std::vector<std::vector<double>> values)
        : v(std::move(vs)), h(std::move(hs)), f(std::move(values))
    {
        const size_t n = v.size(), m = h.size();
        fv = fh = fvh = f;
        for (size_t j = 0; j < m; ++j) {
            Spline s(v, f[j]);
            for (size_t i = 0; i < n; ++i) fv[j][i] = s.Slope(i);
        }
        for (size_t i = 0; i < n; ++i) {
            std::vector<double> row(m), rowV(m);
            for (size_t j = 0; j < m; ++j) row[j] = f[j][i], rowV[j] = fv[j][i];
            Spline s(h, row), sv(h, rowV);
            for (size_t j = 0; j < m; ++j) fh[j][i] = s.Slope(j), fvh[j][i] = sv.Slope(j);
        }
    }

    double operator()(double vq, double hq) const
    {
        size_t i = 0, j = 0;
        while (i + 2 < v.size() && vq > v[i + 1]) ++i;
        while (j + 2 < h.size() && hq > h[j + 1]) ++j;
        const double dv = v[i + 1] - v[i], dh = h[j + 1] - h[j];
        const double s = (vq - v[i]) / dv, w = (hq - h[j]) / dh;
        // Values at the ends, slopes at the ends, per axis.
        const double bs[4] = {2 * s * s * s - 3 * s * s + 1, -2 * s * s * s + 3 * s * s,
                              dv * (s * s * s - 2 * s * s + s), dv * (s * s * s - s * s)};
        const double bw[4] = {2 * w * w * w - 3 * w * w + 1, -2 * w * w * w + 3 * w * w,
                              dh * (w * w * w - 2 * w * w + w), dh * (w * w * w - w * w)};
        auto corner = [&](const std::vector<std::vector<double>>& g, int a, int b) { return g[j + b][i + a]; };
        double r = 0;
        for (int a = 0; a < 2; ++a)
            for (int b = 0; b < 2; ++b)
                r += bs[a] * bw[b] * corner(f, a, b) + bs[2 + a] * bw[b] * corner(fv, a, b) +
                     bs[a] * bw[2 + b] * corner(fh, a, b) + bs[2 + a] * bw[2 + b] * corner(fvh, a, b);
        return r;
    }
};

}  // namespace reference
