#include "model/PlmClassificationMethod.h"
#include "model/PlmDistribution.h"
#include "model/PlmThresholds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <vector>

namespace {

using M = PlmClassificationMethod;
const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

QList<double> range(double from, double to)
{
    QList<double> out;
    for (double v = from; v <= to; v += 1)
        out.append(v);
    return out;
}

TEST(PlmDistribution, KeepsFiniteValuesSortedWithStatistics)
{
    const PlmDistribution d({nan, 3, inf, 1, 2, -inf});
    EXPECT_EQ(d.sorted, (QList<double>{1, 2, 3}));
    EXPECT_EQ(d.minimum, 1);
    EXPECT_EQ(d.maximum, 3);
    ASSERT_TRUE(d.mean);
    EXPECT_DOUBLE_EQ(*d.mean, 2);
    ASSERT_TRUE(d.standardDeviation);
    EXPECT_DOUBLE_EQ(*d.standardDeviation, std::sqrt(2.0 / 3.0));
    EXPECT_EQ(d.scale, 3);
}

TEST(PlmDistribution, NoFiniteValueGivesNoStatistics)
{
    for (const QList<double>& values : {QList<double>{}, QList<double>{nan, inf}}) {
        const PlmDistribution d(values);
        EXPECT_TRUE(d.sorted.isEmpty());
        EXPECT_FALSE(d.minimum || d.maximum || d.mean || d.standardDeviation);
        EXPECT_EQ(d.scale, 1);
        for (M m : allPlmClassificationMethods()) {
            const QList<double> manual{5, 1};
            const QList<double> thresholds = d.thresholds(m, 4, manual);
            if (m == M::manual)
                EXPECT_EQ(thresholds, manual);
            else
                EXPECT_TRUE(thresholds.isEmpty());
        }
        EXPECT_EQ(d.position(3), 0.5);
        EXPECT_EQ(d.value(0.3), 0);
    }
}

TEST(PlmDistribution, HugeMagnitudesStayFinite)
{
    const PlmDistribution d({-1e308, 1e308});
    ASSERT_TRUE(d.mean && d.standardDeviation);
    EXPECT_DOUBLE_EQ(*d.mean, 0);
    EXPECT_DOUBLE_EQ(*d.standardDeviation, 1e308);
    EXPECT_EQ(d.thresholds(M::equalIntervals, 2, {}), (QList<double>{0}));
}

TEST(PlmDistribution, AllValuesEqualBehaveAsNoValues)
{
    const PlmDistribution d({4, 4, 4});
    EXPECT_EQ(d.minimum, 4);
    for (M m : allPlmClassificationMethods()) {
        const QList<double> thresholds = d.thresholds(m, 3, {7});
        if (m == M::manual)
            EXPECT_EQ(thresholds, QList<double>{7});
        else
            EXPECT_TRUE(thresholds.isEmpty());
    }
    EXPECT_EQ(d.position(4), 0.5);
}

TEST(PlmDistributionThresholds, EqualIntervals)
{
    const PlmDistribution d({0, 100, 30});
    EXPECT_EQ(d.thresholds(M::equalIntervals, 4, {}), (QList<double>{25, 50, 75}));
}

TEST(PlmDistributionThresholds, QuantilesTakeTheUpperEndOfEachShare)
{
    const PlmDistribution d(range(1, 8));
    EXPECT_EQ(d.thresholds(M::quantiles, 4, {}), (QList<double>{2, 4, 6}));
}

TEST(PlmDistributionThresholds, QuantilesCollapseOnDuplicatesAndDropTheMaximum)
{
    const PlmDistribution d({1, 5, 5, 5, 5, 5, 5, 9});
    // indices 1, 3, 5 all hold 5.
    EXPECT_EQ(d.thresholds(M::quantiles, 4, {}), (QList<double>{5}));
    const PlmDistribution top({1, 9, 9, 9});
    // Compared by emptiness: an empty list may hold no storage, and QList's own comparison
    // then hands a null pointer to memcmp.
    EXPECT_TRUE(top.thresholds(M::quantiles, 2, {}).isEmpty());
}

TEST(PlmDistributionThresholds, StandardDeviationAroundTheMean)
{
    const QList<double> values{2, 4, 4, 4, 5, 5, 7, 9, -20, 40};
    const PlmDistribution d(values);
    const double m = *d.mean;
    const double s = *d.standardDeviation;
    const QList<double> five = d.thresholds(M::standardDeviation, 5, {});
    ASSERT_EQ(five.size(), 4);
    // Within rounding of the mean's magnitude: m - 0.5 s nearly cancels here.
    EXPECT_NEAR(five[0], m - 1.5 * s, 1e-12);
    EXPECT_NEAR(five[1], m - 0.5 * s, 1e-12);
    EXPECT_NEAR(five[2], m + 0.5 * s, 1e-12);
    EXPECT_NEAR(five[3], m + 1.5 * s, 1e-12);
    const QList<double> two = d.thresholds(M::standardDeviation, 2, {});
    ASSERT_EQ(two.size(), 1);
    EXPECT_DOUBLE_EQ(two[0], m);
    // Candidates beyond the range are dropped.
    const PlmDistribution narrow({0, 0, 0, 0, 0, 0, 0, 0, 0, 10});
    const QList<double> ten = narrow.thresholds(M::standardDeviation, 10, {});
    for (double t : ten)
        EXPECT_TRUE(t >= 0 && t < 10) << t;
    EXPECT_LT(ten.size(), 9);
}

TEST(PlmDistributionThresholds, ClassCountIsClamped)
{
    const PlmDistribution d(range(1, 100));
    for (M m : allPlmClassificationMethods()) {
        EXPECT_TRUE(d.thresholds(m, 0, {3}).isEmpty());
        EXPECT_TRUE(d.thresholds(m, 1, {3}).isEmpty());
        EXPECT_TRUE(d.thresholds(m, -7, {3}).isEmpty());
    }
    EXPECT_EQ(d.thresholds(M::equalIntervals, 25, {}), d.thresholds(M::equalIntervals, 10, {}));
    EXPECT_EQ(d.thresholds(M::jenks, 25, {}).size(), 9);
}

TEST(PlmDistributionThresholds, ManualIsReturnedUntouched)
{
    const PlmDistribution d(range(1, 10));
    const QList<double> manual{50, 3, 3, nan};
    const QList<double> got = d.thresholds(M::manual, 3, manual);
    ASSERT_EQ(got.size(), 4);
    EXPECT_EQ(got[0], 50);
    EXPECT_TRUE(std::isnan(got[3]));
}

TEST(PlmDistributionJenks, SplitsTheObviousGroups)
{
    const PlmDistribution d({1, 1, 2, 10, 11, 12});
    EXPECT_EQ(d.thresholds(M::jenks, 2, {}), (QList<double>{2}));
    // More classes than distinct values: one class per distinct value.
    const PlmDistribution few({3, 1, 2, 2});
    EXPECT_EQ(few.thresholds(M::jenks, 6, {}), (QList<double>{1, 2}));
}

// Runs `check` with each kind of vector instructions the processor has (the others fall back).
void withEachJenksKernel(const std::function<void(int)>& check)
{
    const PlmThresholds::JenksKernel widest = PlmThresholds::jenksKernelCeiling();
    for (auto kernel : {PlmThresholds::JenksKernel::portable, PlmThresholds::JenksKernel::avx2, widest}) {
        PlmThresholds::jenksKernelCeiling() = kernel;
        check(int(kernel));
    }
    PlmThresholds::jenksKernelCeiling() = widest;
}

TEST(PlmDistributionJenks, TiesGoToTheEarlierSplit)
{
    // {0} | {1, 2} and {0, 1} | {2} cost the same: the smaller split index wins.
    EXPECT_EQ(PlmDistribution({0, 1, 2}).thresholds(M::jenks, 2, {}), (QList<double>{0}));
    EXPECT_EQ(PlmDistribution({0, 1, 2, 3, 4}).thresholds(M::jenks, 2, {}), (QList<double>{1}));
    // Mirrored clusters in exact arithmetic: cutting off the first or the last eight values
    // costs the same to the last bit. The two splits are eight apart, in the same lane of the
    // vector search, with each kind of vector instructions.
    const PlmDistribution mirrored({0, 1, 2, 3, 4, 5, 6, 7, 28, 29, 30, 31, 33, 34, 35, 36,
                                    57, 58, 59, 60, 61, 62, 63, 64});
    withEachJenksKernel([&](int kernel) {
        EXPECT_EQ(mirrored.thresholds(M::jenks, 2, {}), (QList<double>{7})) << "kernel " << kernel;
    });
}

// Optimal cost over every way to cut the distinct values into k classes.
double bruteForceCost(const QList<double>& sorted, const QList<double>& distinct, int k,
                      QList<double>* bestCuts)
{
    const int m = int(distinct.size());
    double best = inf;
    QList<int> cut(k - 1);
    std::function<void(int, int)> rec = [&](int level, int from) {
        if (level == k - 1) {
            QList<double> t;
            for (int c : cut)
                t.append(distinct[c]);
            const double cost = PlmThresholds::withinClassSquares(sorted, t);
            if (cost < best) {
                best = cost;
                *bestCuts = t;
            }
            return;
        }
        for (int i = from; i < m - 1; ++i) {
            cut[level] = i;
            rec(level + 1, i + 1);
        }
    };
    rec(0, 0);
    return best;
}

TEST(PlmDistributionJenks, AgreesWithBruteForceOnRandomData)
{
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; ++round) {
        const int n = 3 + int(rng() % 12);
        QList<double> values;
        const bool integers = round % 2 == 0;
        for (int i = 0; i < n; ++i)
            values.append(integers ? double(rng() % 20) : std::ldexp(double(rng() % 100000), -7) - 300);
        const PlmDistribution d(values);
        QList<double> distinct = d.sorted;
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        for (int k = 2; k <= std::min<int>(5, int(distinct.size())); ++k) {
            QList<double> bruteCuts;
            const double brute = bruteForceCost(d.sorted, distinct, k, &bruteCuts);
            const QList<double> got = d.thresholds(M::jenks, k, {});
            ASSERT_EQ(got.size(), k - 1);
            const double cost = PlmThresholds::withinClassSquares(d.sorted, got);
            EXPECT_NEAR(cost, brute, 1e-9 * std::max(1.0, brute)) << "round " << round << " k " << k;
            // On continuous data the optimum is unique: the cuts must match too.
            if (!integers) {
                EXPECT_EQ(got, bruteCuts) << "round " << round << " k " << k;
            }
        }
    }
}

// Plain O(k * m^2) dynamic programme: the textbook exact method, without the
// divide-and-conquer shortcut, as an independent reference on larger inputs.
double quadraticOptimalCost(const QList<double>& sorted, int k)
{
    QList<double> u;
    QList<double> w;
    for (double v : sorted) {
        if (!u.isEmpty() && u.last() == v)
            w.last() += 1;
        else {
            u.append(v);
            w.append(1);
        }
    }
    const int m = int(u.size());
    auto cost = [&](int i, int j) {
        double mean = 0, weight = 0;
        for (int x = i; x < j; ++x) {
            weight += w[x];
            mean += (u[x] - mean) * w[x] / weight;
        }
        double c = 0;
        for (int x = i; x < j; ++x)
            c += w[x] * (u[x] - mean) * (u[x] - mean);
        return c;
    };
    QList<double> prev(m + 1, inf);
    prev[0] = 0;
    for (int c = 1; c <= k; ++c) {
        QList<double> cur(m + 1, inf);
        for (int j = c; j <= m; ++j)
            for (int i = c - 1; i < j; ++i)
                cur[j] = std::min(cur[j], prev[i] + cost(i, j));
        prev = cur;
    }
    return prev[m];
}

TEST(PlmDistributionJenks, AgreesWithTheQuadraticProgrammeOnLargerData)
{
    std::mt19937 rng(99);
    for (int round = 0; round < 3; ++round) {
        QList<double> values;
        for (int i = 0; i < 120; ++i) {
            // Skewed data with duplicates, like population counts.
            const double x = double(rng() % 1000) / 100.0;
            values.append(std::round(std::exp(x) * 10) / 10);
        }
        const PlmDistribution d(values);
        for (int k = 2; k <= 9; ++k) {
            const QList<double> got = d.thresholds(M::jenks, k, {});
            const double reference = quadraticOptimalCost(d.sorted, k);
            EXPECT_NEAR(PlmThresholds::withinClassSquares(d.sorted, got), reference,
                        1e-9 * std::max(1.0, reference))
                << "round " << round << " k " << k;
        }
    }
}

// The previous solver, every class count filled whole by divide and conquer one split at a
// time: the present one must choose exactly the same splits.
QList<double> referenceJenks(const QList<double>& sorted, double scale, int classCount)
{
    std::vector<double> u, w;
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
        return {};
    const double s = std::isfinite(scale) && scale > 0 ? scale : 1.0;
    const double p = u[std::size_t(m / 2)];
    std::vector<double> W(m + 1, 0.0), S(m + 1, 0.0), Q(m + 1, 0.0);
    for (int i = 0; i < m; ++i) {
        const double d = u[i] / s - p / s;
        W[i + 1] = W[i] + w[i];
        S[i + 1] = S[i] + d * w[i];
        Q[i + 1] = Q[i] + d * d * w[i];
    }
    const auto cost = [&](int i, int j) {
        const double ww = W[j] - W[i];
        const double ss = S[j] - S[i];
        const double c = (Q[j] - Q[i]) - ss * ss / ww;
        return c > 0 ? c : 0.0;
    };
    std::vector<double> prev(m + 1, inf), cur(m + 1, inf);
    prev[0] = 0.0;
    std::vector<int> back(std::size_t(K + 1) * std::size_t(m + 1), 0);
    for (int c = 1; c <= K; ++c) {
        std::fill(cur.begin(), cur.end(), inf);
        int* row = back.data() + std::size_t(c) * std::size_t(m + 1);
        std::function<void(int, int, int, int)> solve = [&](int lo, int hi, int optLo, int optHi) {
            if (lo > hi)
                return;
            const int mid = (lo + hi) / 2;
            double best = inf;
            int bestI = optLo;
            for (int i = optLo; i <= std::min(mid - 1, optHi); ++i) {
                if (!(prev[i] < best))
                    continue;
                const double v = prev[i] + (i + 1 == mid ? 0.0 : cost(i, mid));
                if (v < best) {
                    best = v;
                    bestI = i;
                }
            }
            cur[mid] = best;
            row[mid] = bestI;
            solve(lo, mid - 1, optLo, bestI);
            solve(mid + 1, hi, bestI, optHi);
        };
        solve(c, m, c - 1, m - 1);
        std::swap(prev, cur);
    }
    QList<double> out;
    for (int c = K, j = m; c >= 2; --c) {
        j = back[std::size_t(c) * std::size_t(m + 1) + std::size_t(j)];
        out.prepend(u[std::size_t(j) - 1]);
    }
    return out;
}

TEST(PlmDistributionJenks, ChoosesTheSameSplitsAsThePreviousSolver)
{
    withEachJenksKernel([](int kernel) {
        std::mt19937 rng(2024);
        for (int round = 0; round < 60; ++round) {
            // Evenly spaced integers (splits that cost exactly the same), skewed reals, and
            // clustered reals; sizes across the vectorised solver's steps.
            const int n = 2 + int(rng() % (round % 3 == 0 ? 60 : 3000));
            QList<double> values;
            for (int i = 0; i < n; ++i) {
                if (round % 3 == 0)
                    values.append(double(i % (n / 2 + 1)));
                else if (round % 3 == 1)
                    values.append(std::exp(double(rng() % 100000) / 9000.0));
                else
                    values.append(double(rng() % 5) * 100 + double(rng() % 1000) / 997.0 - 250);
            }
            const PlmDistribution d(values);
            for (int k = 2; k <= 10; ++k)
                ASSERT_EQ(PlmThresholds::jenks(d.sorted, d.scale, k), referenceJenks(d.sorted, d.scale, k))
                    << "kernel " << kernel << " round " << round << " k " << k;
        }
    });
}

TEST(PlmDistribution, LargeColumnsAreSortedLikeSmallOnes)
{
    std::mt19937_64 rng(5);
    QList<double> values;
    for (int i = 0; i < 5000; ++i) {
        const std::uint64_t bits = rng();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        values.append(i % 7 == 0 ? double(int(rng() % 5) - 2) : i % 11 == 0 ? -0.0 : v);
    }
    QList<double> expected;
    for (double v : values)
        if (std::isfinite(v))
            expected.append(v);
    std::sort(expected.begin(), expected.end());
    const PlmDistribution d(values);
    ASSERT_EQ(d.sorted.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        ASSERT_EQ(d.sorted[i], expected[i]) << "at " << i;
    for (double v : d.sorted)
        EXPECT_FALSE(v == 0 && std::signbit(v)) << "a zero keeps no sign";
}

TEST(PlmDistributionJenks, LargeInputStaysExact)
{
    // Three tight clusters far apart: any exact method finds them.
    QList<double> values;
    for (int i = 0; i < 3000; ++i)
        values.append(double(i % 3) * 1000 + double(i % 17) * 0.01);
    const PlmDistribution d(values);
    EXPECT_EQ(d.thresholds(M::jenks, 3, {}), (QList<double>{0.16, 1000.16}));
}

TEST(PlmDistributionClassIndex, EqualValueFallsInTheLowerClass)
{
    const QList<double> t{10, 20};
    EXPECT_EQ(PlmDistribution::classIndex(10, t), 0);
    EXPECT_EQ(PlmDistribution::classIndex(20, t), 1);
    EXPECT_EQ(PlmDistribution::classIndex(10.5, t), 1);
    EXPECT_EQ(PlmDistribution::classIndex(25, t), 2);
    EXPECT_EQ(PlmDistribution::classIndex(-1e300, t), 0);
    EXPECT_EQ(PlmDistribution::classIndex(nan, t), std::nullopt);
    EXPECT_EQ(PlmDistribution::classIndex(inf, t), std::nullopt);
    EXPECT_EQ(PlmDistribution::classIndex(std::nullopt, t), std::nullopt);
    EXPECT_EQ(PlmDistribution::classIndex(5, {}), 0);
}

TEST(PlmDistributionPositions, PositionValueAndHistogram)
{
    const PlmDistribution d({0, 10, 20, 30, 40});
    EXPECT_DOUBLE_EQ(d.position(20), 0.5);
    EXPECT_EQ(d.position(-100), 0);
    EXPECT_EQ(d.position(1000), 1);
    EXPECT_EQ(d.position(nan), 0);
    EXPECT_DOUBLE_EQ(d.value(0.25), 10);
    EXPECT_EQ(d.value(nan), 0);
    EXPECT_EQ(d.value(7), 40);
    EXPECT_EQ(d.histogram(4), (QList<int>{1, 1, 1, 2})); // the maximum joins the last bin
    EXPECT_EQ(d.histogram(1), (QList<int>{5}));
    EXPECT_TRUE(d.histogram(0).isEmpty());
}

} // namespace
