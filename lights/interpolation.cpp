// interpolation.cpp - spline and bicubic tables of photometric distributions.
//
// Rotationally symmetric data get the classic second-derivative cubic spline
// over the vertical angle. Grid data get one bicubic Hermite patch per cell:
// values from the table, first derivatives along each axis from that axis's
// C2 slope system (a cubic spline in first-derivative form), and the cross
// derivative from the horizontal slope system run over the vertical slopes.
// Both spline forms end with parabolic run-out: the end interval carries a
// parabola. Every system is tridiagonal and solved without pivoting (it is
// diagonally dominant apart from its end rows, and stays non-singular for
// three or more angles); each axis is eliminated once and its multipliers
// kept, so every further right-hand side costs two sweeps. An axis of
// exactly two angles has no such system: its slopes are the secant and the
// spline along it is the straight line.
//
// Temporaries come from std::vector; std::bad_alloc reaches the caller.
#include "lights/interpolation.h"

#include <cassert>
#include <cstddef>
#include <vector>

namespace vek {
namespace {

// A tridiagonal system in eliminated form: the multipliers of the forward
// elimination and the pivots that remain on the diagonal.
class Tridiagonal {
public:
    explicit Tridiagonal(int32_t n) : n_(n), sub_(n), pivot_(n), super_(n), multiplier_(n) {}

    void SetRow(int32_t k, double sub, double diagonal, double super)
    {
        sub_[k] = sub;
        pivot_[k] = diagonal;
        super_[k] = super;
    }

    // Forward elimination of the matrix alone, done once per axis.
    void Eliminate()
    {
        for (int32_t k = 1; k < n_; ++k) {
            multiplier_[k] = sub_[k] / pivot_[k - 1];
            pivot_[k] -= multiplier_[k] * super_[k - 1];
        }
    }

    // Replaces the right-hand side d with the solution: the elimination
    // repeated on d with the stored multipliers, then back substitution.
    void Solve(double* d) const
    {
        for (int32_t k = 1; k < n_; ++k) d[k] -= multiplier_[k] * d[k - 1];
        d[n_ - 1] /= pivot_[n_ - 1];
        for (int32_t k = n_ - 2; k >= 0; --k) d[k] = (d[k] - super_[k] * d[k + 1]) / pivot_[k];
    }

private:
    int32_t n_;
    std::vector<double> sub_, pivot_, super_, multiplier_;
};

// The slope system of one axis: N angles with interval widths h[0 .. N-2].
// Rows k = 1 .. N-2 ask for C2 continuity; the end rows ask that the slopes
// at the two ends of an end interval average to its secant slope.
class SlopeSystem {
public:
    SlopeSystem(const double* h, int32_t count) : h_(h), n_(count), lower_(count), upper_(count), matrix_(count)
    {
        if (n_ < 3) return;
        matrix_.SetRow(0, 0.0, 2.0, 2.0);
        for (int32_t k = 1; k < n_ - 1; ++k) {
            lower_[k] = h_[k] / (h_[k - 1] + h_[k]);
            upper_[k] = h_[k - 1] / (h_[k - 1] + h_[k]);
            matrix_.SetRow(k, lower_[k], 2.0, upper_[k]);
        }
        matrix_.SetRow(n_ - 1, 2.0, 2.0, 0.0);
        matrix_.Eliminate();
    }

    // slopes[k] = derivative at angle k of the spline through g[k x stride].
    void Slopes(const double* g, int64_t stride, double* slopes) const
    {
        auto at = [&](int32_t k) { return g[k * stride]; };
        if (n_ == 1) {
            slopes[0] = 0.0;
            return;
        }
        if (n_ == 2) {
            slopes[0] = slopes[1] = (at(1) - at(0)) / h_[0];
            return;
        }
        slopes[0] = 4.0 * (at(1) - at(0)) / h_[0];
        for (int32_t k = 1; k < n_ - 1; ++k)
            slopes[k] = 3.0 * (lower_[k] * (at(k) - at(k - 1)) / h_[k - 1] + upper_[k] * (at(k + 1) - at(k)) / h_[k]);
        slopes[n_ - 1] = 4.0 * (at(n_ - 1) - at(n_ - 2)) / h_[n_ - 2];
        matrix_.Solve(slopes);
    }

private:
    const double* h_;
    int32_t n_;
    std::vector<double> lower_, upper_;
    Tridiagonal matrix_;
};

// The cubic on [0, H] with values a0, a1 and slopes d0, d1 at its ends has
// the power coefficients Hermite(H) x (a0, a1, d0, d1). A zero width gives
// the constant a0: the flat cells of a single vertical angle.
struct HermiteMatrix {
    double m[4][4];

    explicit HermiteMatrix(double H)
    {
        for (auto& row : m)
            for (double& e : row) e = 0.0;
        m[0][0] = 1.0;
        if (H == 0.0) return;
        const double H2 = H * H, H3 = H2 * H;
        m[1][2] = 1.0;
        m[2][0] = -3.0 / H2;
        m[2][1] = 3.0 / H2;
        m[2][2] = -2.0 / H;
        m[2][3] = -1.0 / H;
        m[3][0] = 2.0 / H3;
        m[3][1] = -2.0 / H3;
        m[3][2] = 1.0 / H2;
        m[3][3] = 1.0 / H2;
    }
};

// Interval widths in single precision, as the angles are stored, widened.
void IntervalWidths(const float* angles, int32_t count, double* widths)
{
    for (int32_t k = 0; k + 1 < count; ++k) widths[k] = static_cast<double>(angles[k + 1] - angles[k]);
    widths[count - 1] = 0.0;
}

}  // namespace

void BuildSpline(const float* x, const double* y, int32_t n, double* steps, double* M)
{
    assert(n >= 1);
    // 1. Interval widths (entry k ends at angle k) and secant slopes.
    steps[0] = 0.0;
    for (int32_t k = 1; k < n; ++k) steps[k] = static_cast<double>(x[k] - x[k - 1]);
    for (int32_t k = 0; k < n; ++k) M[k] = 0.0;
    // With one or two angles the spline is the constant or the straight line.
    if (n < 3) return;
    const double* h = steps;
    auto secant = [&](int32_t k) { return (y[k] - y[k - 1]) / h[k]; };

    // 2.-3. Continuity of the second derivative inside, parabolic run-out
    // (equal end second derivatives) at both ends.
    Tridiagonal system(n);
    system.SetRow(0, 0.0, 2.0, -2.0);
    for (int32_t k = 1; k < n - 1; ++k) {
        const double span = h[k] + h[k + 1];
        system.SetRow(k, h[k] / span, 2.0, h[k + 1] / span);
        M[k] = 6.0 * (secant(k + 1) - secant(k)) / span;
    }
    system.SetRow(n - 1, -2.0, 2.0, 0.0);

    // 4. Solve; M holds the second derivatives.
    system.Eliminate();
    system.Solve(M);
}

void BuildPatches(const float* verticalAngles, int32_t n, const float* horizontalAngles, int32_t m,
                  const double* f, double* hv, double* hh, double* coefficients)
{
    assert(n >= 1 && m >= 2);
    // 1. Interval widths along both axes.
    IntervalWidths(verticalAngles, n, hv);
    IntervalWidths(horizontalAngles, m, hh);

    // 2. Each axis's slope system, eliminated once.
    const SlopeSystem vertical(hv, n);
    const SlopeSystem horizontal(hh, m);

    // 3.-6. Slopes at every grid point, stored like the candela table:
    // fv along the vertical angle, fh along the horizontal angle, fvh the
    // cross derivative (the horizontal slopes of fv).
    const size_t points = static_cast<size_t>(n) * static_cast<size_t>(m);
    std::vector<double> fv(points), fh(points), fvh(points), line(static_cast<size_t>(n > m ? n : m));
    for (int32_t j = 0; j < m; ++j) {
        const size_t column = static_cast<size_t>(j) * n;
        vertical.Slopes(f + column, 1, fv.data() + column);
    }
    for (int32_t i = 0; i < n; ++i) {
        horizontal.Slopes(f + i, n, line.data());
        for (int32_t j = 0; j < m; ++j) fh[static_cast<size_t>(j) * n + i] = line[j];
        horizontal.Slopes(fv.data() + i, n, line.data());
        for (int32_t j = 0; j < m; ++j) fvh[static_cast<size_t>(j) * n + i] = line[j];
    }

    // 7. One patch per cell: C = Hermite(hv) x F x Hermite(hh)^T, where row a
    // of F is the condition along the vertical angle (value at t = 0, value
    // at t = hv, slope at 0, slope at hv) and column b the same along the
    // horizontal angle. C[p][q] multiplies t^p u^q.
    const int32_t rows = CellRows(n);
    for (int32_t i = 0; i < rows; ++i) {
        const HermiteMatrix A(hv[i]);
        const int32_t iNext = n > 1 ? i + 1 : i;
        for (int32_t j = 0; j + 1 < m; ++j) {
            const HermiteMatrix B(hh[j]);
            const size_t p00 = static_cast<size_t>(j) * n + i, p10 = static_cast<size_t>(j) * n + iNext;
            const size_t p01 = p00 + n, p11 = p10 + n;
            const double F[4][4] = {{f[p00], f[p01], fh[p00], fh[p01]},
                                    {f[p10], f[p11], fh[p10], fh[p11]},
                                    {fv[p00], fv[p01], fvh[p00], fvh[p01]},
                                    {fv[p10], fv[p11], fvh[p10], fvh[p11]}};
            double AF[4][4];
            for (int p = 0; p < 4; ++p)
                for (int b = 0; b < 4; ++b) {
                    double s = 0.0;
                    for (int a = 0; a < 4; ++a) s += A.m[p][a] * F[a][b];
                    AF[p][b] = s;
                }
            double* c = coefficients + 16 * (static_cast<size_t>(rows) * j + i);
            for (int p = 0; p < 4; ++p)
                for (int q = 0; q < 4; ++q) {
                    double s = 0.0;
                    for (int b = 0; b < 4; ++b) s += AF[p][b] * B.m[q][b];
                    c[4 * p + q] = s;
                }
        }
    }
    // 8. The temporaries go with their vectors.
}

}  // namespace vek
