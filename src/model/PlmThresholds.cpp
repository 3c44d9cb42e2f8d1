#include "model/PlmThresholds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

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

JenksKernel& jenksKernelCeiling()
{
    static JenksKernel ceiling = JenksKernel::avx512;
    return ceiling;
}

namespace {

struct JenksRange {
    int lo, hi, optLo, optHi;
};

#if defined(__GNUC__) && defined(__x86_64__)
#define PLM_JENKS_WIDE 1
// GCC 12 takes the deliberately undefined lanes inside its AVX-512 intrinsics for uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
// The best split of j among [from, end] (end <= j - 1), eight candidates at a time, with the
// same arithmetic as one at a time (no fused operation can form: every product feeds a
// division), so that the same split wins. Ranges go in whole blocks, the lanes past the range
// masked out (the arrays are padded to be read past it): no loop tail to mispredict. Fills
// *least, returns the split.
__attribute__((target("avx512f"))) inline int bestSplitWide(const double* W, const double* S,
                                                            const double* Q, const double* P, int j,
                                                            int from, int end, double* least)
{
    const __m512d wj = _mm512_set1_pd(W[j]), sj = _mm512_set1_pd(S[j]), qj = _mm512_set1_pd(Q[j]);
    const __m512d zero = _mm512_setzero_pd();
    const __m512d last = _mm512_set1_pd(double(end)), single = _mm512_set1_pd(double(j - 1));
    const __m512d eight = _mm512_set1_pd(8);
    __m512d at = _mm512_add_pd(_mm512_set1_pd(double(from)), _mm512_set_pd(7, 6, 5, 4, 3, 2, 1, 0));
    __m512d best = _mm512_set1_pd(std::numeric_limits<double>::infinity());
    __m512d bestAt = at;
    for (int i = from; i <= end; i += 8) {
        const __m512d w = _mm512_sub_pd(wj, _mm512_loadu_pd(W + i));
        const __m512d s = _mm512_sub_pd(sj, _mm512_loadu_pd(S + i));
        __m512d c = _mm512_sub_pd(_mm512_sub_pd(qj, _mm512_loadu_pd(Q + i)),
                                  _mm512_div_pd(_mm512_mul_pd(s, s), w));
        c = _mm512_max_pd(c, zero); // c > 0 ? c : 0
        // One value alone costs nothing.
        c = _mm512_mask_mov_pd(c, _mm512_cmp_pd_mask(at, single, _CMP_EQ_OQ), zero);
        const __m512d v = _mm512_add_pd(_mm512_loadu_pd(P + i), c);
        const __mmask8 inside = _mm512_cmp_pd_mask(at, last, _CMP_LE_OQ);
        const __mmask8 less = _mm512_mask_cmp_pd_mask(inside, v, best, _CMP_LT_OQ);
        best = _mm512_mask_mov_pd(best, less, v);
        bestAt = _mm512_mask_mov_pd(bestAt, less, at);
        at = _mm512_add_pd(at, eight);
    }
    // Each lane kept its first least; the earliest of equal ones wins. After one block, lane l
    // holds candidate from + l: the first lane equal to the least is the split.
    const double value = _mm512_reduce_min_pd(best);
    *least = value;
    const __mmask8 equal = _mm512_cmp_pd_mask(best, _mm512_set1_pd(value), _CMP_EQ_OQ);
    if (equal == 0) // no value compares (never with finite data): the first, as one at a time
        return from;
    if (end - from < 8)
        return from + __builtin_ctz(unsigned(equal));
    return int(_mm512_mask_reduce_min_pd(equal, bestAt));
}

// One class count level by level (see JenksSolver::layer), with bestSplitWide inlined.
__attribute__((target("avx512f"))) void layerWide(const double* W, const double* S, const double* Q,
                                                  const double* P, double* cur, int* backRow, int c, int m,
                                                  std::vector<JenksRange>& level, std::vector<JenksRange>& next)
{
    level.assign(1, {c, m, c - 1, m - 1});
    while (!level.empty()) {
        next.clear();
        for (const JenksRange& r : level) {
            const int mid = (r.lo + r.hi) / 2;
            const int bestI = bestSplitWide(W, S, Q, P, mid, r.optLo, std::min(mid - 1, r.optHi), cur + mid);
            backRow[mid] = bestI;
            if (r.lo < mid)
                next.push_back({r.lo, mid - 1, r.optLo, bestI});
            if (mid < r.hi)
                next.push_back({mid + 1, r.hi, bestI, r.optHi});
        }
        level.swap(next);
    }
}

// Four candidates from i, lanes at `at`, into the first least of each lane.
__attribute__((target("avx2"))) inline void candidatesAvx2(const double* W, const double* S, const double* Q,
                                                           const double* P, int i, __m256d wj, __m256d sj,
                                                           __m256d qj, __m256d last, __m256d single, __m256d at,
                                                           __m256d& best, __m256d& bestAt)
{
    const __m256d zero = _mm256_setzero_pd();
    const __m256d w = _mm256_sub_pd(wj, _mm256_loadu_pd(W + i));
    const __m256d s = _mm256_sub_pd(sj, _mm256_loadu_pd(S + i));
    __m256d c = _mm256_sub_pd(_mm256_sub_pd(qj, _mm256_loadu_pd(Q + i)), _mm256_div_pd(_mm256_mul_pd(s, s), w));
    c = _mm256_max_pd(c, zero);                                            // c > 0 ? c : 0
    c = _mm256_blendv_pd(c, zero, _mm256_cmp_pd(at, single, _CMP_EQ_OQ)); // one value alone costs nothing
    const __m256d v = _mm256_add_pd(_mm256_loadu_pd(P + i), c);
    const __m256d less = _mm256_and_pd(_mm256_cmp_pd(v, best, _CMP_LT_OQ), _mm256_cmp_pd(at, last, _CMP_LE_OQ));
    best = _mm256_blendv_pd(best, v, less);
    bestAt = _mm256_blendv_pd(bestAt, at, less);
}

// The same search eight candidates at a time in two groups of four lanes, for processors with
// AVX2 but not AVX-512.
__attribute__((target("avx2"))) inline int bestSplitAvx2(const double* W, const double* S, const double* Q,
                                                         const double* P, int j, int from, int end,
                                                         double* least)
{
    const __m256d wj = _mm256_set1_pd(W[j]), sj = _mm256_set1_pd(S[j]), qj = _mm256_set1_pd(Q[j]);
    const __m256d infinity = _mm256_set1_pd(std::numeric_limits<double>::infinity());
    const __m256d last = _mm256_set1_pd(double(end)), single = _mm256_set1_pd(double(j - 1));
    const __m256d eight = _mm256_set1_pd(8);
    // Two groups of four lanes: candidates from + l and from + 4 + l, then eight on.
    __m256d atA = _mm256_add_pd(_mm256_set1_pd(double(from)), _mm256_set_pd(3, 2, 1, 0));
    __m256d atB = _mm256_add_pd(atA, _mm256_set1_pd(4));
    __m256d bestA = infinity, bestB = infinity;
    __m256d bestAtA = atA, bestAtB = atB;
    for (int i = from; i <= end; i += 8) {
        candidatesAvx2(W, S, Q, P, i, wj, sj, qj, last, single, atA, bestA, bestAtA);
        candidatesAvx2(W, S, Q, P, i + 4, wj, sj, qj, last, single, atB, bestB, bestAtB);
        atA = _mm256_add_pd(atA, eight);
        atB = _mm256_add_pd(atB, eight);
    }
    __m256d m = _mm256_min_pd(bestA, bestB);
    m = _mm256_min_pd(m, _mm256_permute2f128_pd(m, m, 1));
    m = _mm256_min_pd(m, _mm256_permute_pd(m, 0x5));
    const double value = _mm256_cvtsd_f64(m);
    *least = value;
    const __m256d valueV = _mm256_set1_pd(value);
    const __m256d equalA = _mm256_cmp_pd(bestA, valueV, _CMP_EQ_OQ), equalB = _mm256_cmp_pd(bestB, valueV, _CMP_EQ_OQ);
    const unsigned mask = unsigned(_mm256_movemask_pd(equalA)) | unsigned(_mm256_movemask_pd(equalB)) << 4;
    if (mask == 0)
        return from;
    // After one round, group A lane l holds candidate from + l and group B from + 4 + l.
    if (end - from < 8)
        return from + __builtin_ctz(mask);
    __m256d first = _mm256_min_pd(_mm256_blendv_pd(infinity, bestAtA, equalA), _mm256_blendv_pd(infinity, bestAtB, equalB));
    first = _mm256_min_pd(first, _mm256_permute2f128_pd(first, first, 1));
    first = _mm256_min_pd(first, _mm256_permute_pd(first, 0x5));
    return int(_mm256_cvtsd_f64(first));
}

__attribute__((target("avx2"))) void layerAvx2(const double* W, const double* S, const double* Q,
                                               const double* P, double* cur, int* backRow, int c, int m,
                                               std::vector<JenksRange>& level, std::vector<JenksRange>& next)
{
    level.assign(1, {c, m, c - 1, m - 1});
    while (!level.empty()) {
        next.clear();
        for (const JenksRange& r : level) {
            const int mid = (r.lo + r.hi) / 2;
            const int bestI = bestSplitAvx2(W, S, Q, P, mid, r.optLo, std::min(mid - 1, r.optHi), cur + mid);
            backRow[mid] = bestI;
            if (r.lo < mid)
                next.push_back({r.lo, mid - 1, r.optLo, bestI});
            if (mid < r.hi)
                next.push_back({mid + 1, r.hi, bestI, r.optHi});
        }
        level.swap(next);
    }
}

bool wideSupported()
{
    static const bool supported = __builtin_cpu_supports("avx512f");
    return supported && jenksKernelCeiling() >= JenksKernel::avx512;
}

bool avx2Supported()
{
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported && jenksKernelCeiling() >= JenksKernel::avx2;
}
#pragma GCC diagnostic pop
#endif

// Working arrays of the programme, kept per thread between calls: allocating them afresh cost
// page faults on every call on a large variable. Released after a very large one.
struct JenksScratch {
    std::vector<double> u, w, W, S, Q, prev, cur;
    std::vector<int> back;
    std::vector<JenksRange> level, next;

    static constexpr int keptDistinctValues = 1 << 17;
};

// Fisher's exact programme over the distinct values u (weights w): best[c][j] is the least sum
// of squared deviations of the first j values cut into c classes. The best split of j never
// moves left as j grows, so each class count is filled by divide and conquer: the middle j is
// solved over its allowed splits and bounds the splits of both halves.
class JenksSolver {
    using Range = JenksRange;

public:
    // Arrays hold m + 1 entries and `padding` more, read but never used.
    static constexpr int padding = 8;

    JenksSolver(JenksScratch& scratch, int m)
        : W_(scratch.W), S_(scratch.S), Q_(scratch.Q), m_(m), level_(scratch.level), next_(scratch.next)
    {
    }

    // One class: everything from the first value.
    void first(std::vector<double>& cur, int* backRow) const
    {
        cur[0] = std::numeric_limits<double>::infinity();
        for (int j = 1; j <= m_; ++j) {
            cur[std::size_t(j)] = 0.0 + (j == 1 ? 0.0 : cost(0, j));
            backRow[j] = 0;
        }
    }

    // Every j of a class count from its predecessor's row.
    void layer(int c, const std::vector<double>& prev, std::vector<double>& cur, int* backRow)
    {
        std::fill(cur.begin(), cur.end(), std::numeric_limits<double>::infinity());
#if defined(PLM_JENKS_WIDE)
        if (wideSupported())
            return layerWide(W_.data(), S_.data(), Q_.data(), prev.data(), cur.data(), backRow, c, m_, level_, next_);
        if (avx2Supported())
            return layerAvx2(W_.data(), S_.data(), Q_.data(), prev.data(), cur.data(), backRow, c, m_, level_, next_);
#endif
        // Level by level rather than depth first: a range's bounds come from its ancestors only,
        // so the same splits come out, and the middles of one level do not wait on each other.
        // Depth first, each split waited on the one before it, and that wait was most of the time.
        level_.assign(1, {c, m_, c - 1, m_ - 1});
        while (!level_.empty()) {
            next_.clear();
            for (const Range& r : level_) {
                const int mid = (r.lo + r.hi) / 2;
                const int bestI = solve(mid, r.optLo, r.optHi, prev, cur);
                backRow[mid] = bestI;
                if (r.lo < mid)
                    next_.push_back({r.lo, mid - 1, r.optLo, bestI});
                if (mid < r.hi)
                    next_.push_back({mid + 1, r.hi, bestI, r.optHi});
            }
            level_.swap(next_);
        }
    }

    // The last class count needs only j = m: the same middles as layer() on the way to it, so
    // the same split comes out, each bounding the next.
    void last(int c, const std::vector<double>& prev, std::vector<double>& cur, int* backRow) const
    {
        int lo = c, optLo = c - 1;
        const int optHi = m_ - 1;
        for (;;) {
            const int mid = (lo + m_) / 2;
            const int bestI = solve(mid, optLo, optHi, prev, cur);
            backRow[mid] = bestI;
            if (mid == m_)
                return;
            lo = mid + 1;
            optLo = bestI;
        }
    }

private:
    double cost(int i, int j) const
    {
        const double w = W_[std::size_t(j)] - W_[std::size_t(i)];
        const double s = S_[std::size_t(j)] - S_[std::size_t(i)];
        const double c = (Q_[std::size_t(j)] - Q_[std::size_t(i)]) - s * s / w;
        return c > 0 ? c : 0.0;
    }

    // The best split of j among [optLo, optHi], the first of equal ones; fills cur[j]. Two
    // candidates at a time where the processor allows, with the same arithmetic as one at a
    // time, so that the same split wins.
    int solve(int j, int optLo, int optHi, const std::vector<double>& prev, std::vector<double>& cur) const
    {
        const int end = std::min(j - 1, optHi);
#if defined(PLM_JENKS_WIDE)
        if (wideSupported())
            return bestSplitWide(W_.data(), S_.data(), Q_.data(), prev.data(), j, optLo, end, &cur[std::size_t(j)]);
        if (avx2Supported())
            return bestSplitAvx2(W_.data(), S_.data(), Q_.data(), prev.data(), j, optLo, end, &cur[std::size_t(j)]);
#endif
        const int full = std::min(end, j - 2); // a split at j - 1 leaves one value: no cost
        const double Wj = W_[std::size_t(j)], Sj = S_[std::size_t(j)], Qj = Q_[std::size_t(j)];
        const double* W = W_.data();
        const double* S = S_.data();
        const double* Q = Q_.data();
        const double* P = prev.data();
        double best = std::numeric_limits<double>::infinity();
        int bestI = optLo;
        int i = optLo;
#if defined(__SSE2__)
        if (full - optLo + 1 >= 4) {
            const __m128d wj = _mm_set1_pd(Wj), sj = _mm_set1_pd(Sj), qj = _mm_set1_pd(Qj);
            const __m128d zero = _mm_setzero_pd(), two = _mm_set1_pd(2);
            __m128d least = _mm_set1_pd(best);
            __m128d at = _mm_set_pd(double(i + 1), double(i));
            __m128d leastAt = at;
            for (; i + 1 <= full; i += 2) {
                const __m128d w = _mm_sub_pd(wj, _mm_loadu_pd(W + i));
                const __m128d s = _mm_sub_pd(sj, _mm_loadu_pd(S + i));
                __m128d c = _mm_sub_pd(_mm_sub_pd(qj, _mm_loadu_pd(Q + i)), _mm_div_pd(_mm_mul_pd(s, s), w));
                c = _mm_and_pd(c, _mm_cmpgt_pd(c, zero)); // c > 0 ? c : 0
                const __m128d v = _mm_add_pd(_mm_loadu_pd(P + i), c);
                const __m128d less = _mm_cmplt_pd(v, least);
                least = _mm_or_pd(_mm_and_pd(less, v), _mm_andnot_pd(less, least));
                leastAt = _mm_or_pd(_mm_and_pd(less, at), _mm_andnot_pd(less, leastAt));
                at = _mm_add_pd(at, two);
            }
            double lanes[2], lanesAt[2];
            _mm_storeu_pd(lanes, least);
            _mm_storeu_pd(lanesAt, leastAt);
            // Each lane kept its first least; the earlier of two equal ones wins.
            const int lane = lanes[1] < lanes[0] || (lanes[1] == lanes[0] && lanesAt[1] < lanesAt[0]) ? 1 : 0;
            if (lanes[lane] < best) {
                best = lanes[lane];
                bestI = int(lanesAt[lane]);
            }
        }
#endif
        for (; i <= end; ++i) {
            const double v = P[i] + (i + 1 == j ? 0.0 : cost(i, j));
            if (v < best) {
                best = v;
                bestI = i;
            }
        }
        cur[std::size_t(j)] = best;
        return bestI;
    }

    const std::vector<double>& W_;
    const std::vector<double>& S_;
    const std::vector<double>& Q_;
    int m_;
    std::vector<Range>& level_;
    std::vector<Range>& next_;
};

} // namespace

QList<double> jenks(const QList<double>& sorted, double scale, int classCount)
{
    QList<double> out;
    if (sorted.isEmpty() || classCount < 2)
        return out;

    thread_local JenksScratch scratch;
    std::vector<double>& u = scratch.u;
    std::vector<double>& w = scratch.w;
    u.clear();
    w.clear();
    u.reserve(std::size_t(sorted.size()));
    w.reserve(std::size_t(sorted.size()));
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

    // Prefix sums over the distinct values, entry 0 = 0, centred on the median and scaled so
    // that they stay well conditioned.
    const std::size_t size = std::size_t(m) + 1 + JenksSolver::padding;
    std::vector<double>& W = scratch.W;
    std::vector<double>& S = scratch.S;
    std::vector<double>& Q = scratch.Q;
    W.assign(size, 0.0);
    S.assign(size, 0.0);
    Q.assign(size, 0.0);
    for (int i = 0; i < m; ++i) {
        const double d = u[i] / s - p / s;
        W[i + 1] = W[i] + w[i];
        S[i + 1] = S[i] + d * w[i];
        Q[i + 1] = Q[i] + d * d * w[i];
    }

    JenksSolver solver(scratch, m);
    std::vector<double>& prev = scratch.prev;
    std::vector<double>& cur = scratch.cur;
    prev.assign(size, std::numeric_limits<double>::infinity());
    cur.assign(size, std::numeric_limits<double>::infinity());
    // Every entry read back below is written first.
    std::vector<int>& back = scratch.back;
    back.resize(std::size_t(K + 1) * std::size_t(m + 1));
    const auto row = [&](int c) { return back.data() + std::size_t(c) * std::size_t(m + 1); };
    solver.first(prev, row(1));
    for (int c = 2; c < K; ++c) {
        solver.layer(c, prev, cur, row(c));
        std::swap(prev, cur);
    }
    solver.last(K, prev, cur, row(K));

    out.reserve(K - 1);
    int j = m;
    for (int c = K; c >= 2; --c) {
        const int i = row(c)[j];
        out.append(u[std::size_t(i) - 1]);
        j = i;
    }
    std::reverse(out.begin(), out.end());
    if (m > JenksScratch::keptDistinctValues)
        scratch = JenksScratch();
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
