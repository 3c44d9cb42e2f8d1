#include "model/PlmThresholds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace PlmThresholds {

QList<double> equalIntervals(double minimum, double maximum, int classCount)
{
    QList<double> out;
    out.reserve(std::max(classCount - 1, 0));
    for (int k = 1; k < classCount; ++k) {
        const double t = std::clamp(double(k) / double(classCount), 0.0, 1.0);
        out.append(maximum * t + minimum * (1.0 - t));
    }
    return out;
}

QList<double> quantiles(const QList<double>& sorted, int classCount)
{
    QList<double> out;
    const std::int64_t count = sorted.size();
    if (count == 0 || classCount < 1)
        return out;
    out.reserve(classCount - 1);
    for (int k = 1; k < classCount; ++k) {
        // ceil(count * k / n) - 1 in exact integer arithmetic.
        std::int64_t i = (count * k + classCount - 1) / classCount - 1;
        i = std::clamp<std::int64_t>(i, 0, count - 1);
        out.append(sorted[qsizetype(i)]);
    }
    return out;
}

QList<double> standardDeviation(double mean, double standardDeviation, double scale,
                                int classCount)
{
    QList<double> out;
    out.reserve(std::max(classCount - 1, 0));
    const double m = mean / scale;
    const double d = standardDeviation / scale;
    const double half = double(classCount) / 2.0;
    for (int k = 1; k < classCount; ++k)
        out.append(scale * (m + d * (double(k) - half)));
    return out;
}

namespace {

struct JenksSolver {
    // Prefix sums over the distinct values, entry 0 = 0.
    std::vector<double> W, S, Q;
    const std::vector<double>* prev = nullptr;
    std::vector<double>* cur = nullptr;
    int* backRow = nullptr;

    double cost(int i, int j) const
    {
        const double w = W[j] - W[i];
        const double s = S[j] - S[i];
        const double c = (Q[j] - Q[i]) - s * s / w;
        return c > 0 ? c : 0.0;
    }

    // Fills cur[lo..hi] knowing the best split of each lies in [optLo, optHi].
    // Iterative, so recursion depth never grows with the input.
    void solve(int lo0, int hi0, int optLo0, int optHi0)
    {
        struct Range { int lo, hi, optLo, optHi; };
        std::vector<Range> stack;
        stack.push_back({lo0, hi0, optLo0, optHi0});
        while (!stack.empty()) {
            const Range r = stack.back();
            stack.pop_back();
            if (r.lo > r.hi)
                continue;
            const int mid = (r.lo + r.hi) / 2;
            const int last = std::min(mid - 1, r.optHi);
            double best = std::numeric_limits<double>::infinity();
            int bestI = r.optLo;
            for (int i = r.optLo; i <= last; ++i) {
                const double p = (*prev)[i];
                if (!(p < best))
                    continue; // cost >= 0, so it cannot win
                const double v = p + (i + 1 == mid ? 0.0 : cost(i, mid));
                if (v < best) {
                    best = v;
                    bestI = i;
                }
            }
            (*cur)[mid] = best;
            backRow[mid] = bestI;
            // Order of the two halves does not matter: they are independent.
            stack.push_back({mid + 1, r.hi, bestI, r.optHi});
            stack.push_back({r.lo, mid - 1, r.optLo, bestI});
        }
    }
};

} // namespace

QList<double> jenks(const QList<double>& sorted, double scale, int classCount)
{
    QList<double> out;
    if (sorted.isEmpty() || classCount < 2)
        return out;

    std::vector<double> u;
    std::vector<double> w;
    u.reserve(sorted.size());
    w.reserve(sorted.size());
    for (double v : sorted) {
        if (!u.empty() && u.back() == v)
            w.back() += 1.0;
        else {
            u.push_back(v);
            w.push_back(1.0);
        }
    }
    const int m = int(u.size());
    const int K = std::min(classCount, m);
    if (K < 2)
        return out;

    const double s = (std::isfinite(scale) && scale > 0) ? scale : 1.0;
    const double p = u[std::size_t(m / 2)];

    JenksSolver solver;
    solver.W.assign(std::size_t(m) + 1, 0.0);
    solver.S.assign(std::size_t(m) + 1, 0.0);
    solver.Q.assign(std::size_t(m) + 1, 0.0);
    for (int i = 0; i < m; ++i) {
        const double d = u[i] / s - p / s;
        solver.W[i + 1] = solver.W[i] + w[i];
        solver.S[i + 1] = solver.S[i] + d * w[i];
        solver.Q[i + 1] = solver.Q[i] + d * d * w[i];
    }

    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> prev(std::size_t(m) + 1, inf);
    std::vector<double> cur(std::size_t(m) + 1, inf);
    prev[0] = 0.0;
    std::vector<int> back(std::size_t(K + 1) * std::size_t(m + 1), 0);

    for (int c = 1; c <= K; ++c) {
        std::fill(cur.begin(), cur.end(), inf);
        solver.prev = &prev;
        solver.cur = &cur;
        solver.backRow = back.data() + std::size_t(c) * std::size_t(m + 1);
        solver.solve(c, m, c - 1, m - 1);
        std::swap(prev, cur);
    }

    out.reserve(K - 1);
    int j = m;
    for (int c = K; c >= 2; --c) {
        const int i = back[std::size_t(c) * std::size_t(m + 1) + std::size_t(j)];
        out.append(u[std::size_t(i) - 1]);
        j = i;
    }
    std::reverse(out.begin(), out.end());
    return out;
}

double withinClassSquares(const QList<double>& sorted, const QList<double>& thresholds)
{
    double total = 0;
    qsizetype start = 0;
    const qsizetype n = sorted.size();
    for (qsizetype c = 0; c <= thresholds.size() && start < n; ++c) {
        qsizetype end = start;
        while (end < n && (c == thresholds.size() || sorted[end] <= thresholds[c]))
            ++end;
        if (end > start) {
            double mean = 0;
            for (qsizetype i = start; i < end; ++i)
                mean += (sorted[i] - mean) / double(i - start + 1);
            for (qsizetype i = start; i < end; ++i)
                total += (sorted[i] - mean) * (sorted[i] - mean);
        }
        start = end;
    }
    return total;
}

} // namespace PlmThresholds
