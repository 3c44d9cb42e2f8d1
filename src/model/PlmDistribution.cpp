#include "model/PlmDistribution.h"

#include "model/PlmClassificationMethod.h"
#include "model/PlmThresholds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Ascending order of finite doubles by their bits: a least-significant-digit radix sort, linear
// where a comparison sort of a large column costs most of a refresh. The key of a double flips
// every bit of a negative and the sign bit of a positive, so that keys compare as the values.
void radixSort(QList<double>& values)
{
    constexpr int digitBits = 11;
    constexpr int digits = (64 + digitBits - 1) / digitBits;
    constexpr std::uint64_t digitMask = (std::uint64_t(1) << digitBits) - 1;
    constexpr qsizetype keptValues = qsizetype(1) << 18;
    const qsizetype n = values.size();
    // Buffers kept per thread between sorts: allocated afresh, a large column paid page faults
    // on every sort. Released after a very large one.
    thread_local std::vector<std::uint64_t> keys, other;
    thread_local std::vector<std::uint32_t> counts;
    keys.resize(static_cast<std::size_t>(n));
    other.resize(static_cast<std::size_t>(n));
    counts.assign(std::size_t(digits) << digitBits, 0);
    for (qsizetype i = 0; i < n; ++i) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &values[i], sizeof bits);
        const std::uint64_t key = bits >> 63 ? ~bits : bits | (std::uint64_t(1) << 63);
        keys[std::size_t(i)] = key;
        for (int d = 0; d < digits; ++d)
            ++counts[(std::size_t(d) << digitBits) + ((key >> (d * digitBits)) & digitMask)];
    }
    for (int d = 0; d < digits; ++d) {
        std::uint32_t* count = counts.data() + (std::size_t(d) << digitBits);
        if (count[(keys[0] >> (d * digitBits)) & digitMask] == std::uint32_t(n))
            continue; // every key has this digit: the pass would change nothing
        std::uint32_t total = 0;
        for (std::size_t k = 0; k <= digitMask; ++k)
            total += std::exchange(count[k], total);
        for (const std::uint64_t key : keys)
            other[count[(key >> (d * digitBits)) & digitMask]++] = key;
        keys.swap(other);
    }
    for (qsizetype i = 0; i < n; ++i) {
        const std::uint64_t key = keys[std::size_t(i)];
        const std::uint64_t bits = key >> 63 ? key & ~(std::uint64_t(1) << 63) : ~key;
        std::memcpy(&values[i], &bits, sizeof bits);
    }
    if (n > keptValues) {
        keys = {};
        other = {};
    }
}

} // namespace

PlmDistribution::PlmDistribution(const QList<double>& values)
{
    sorted.reserve(values.size());
    // -0 counts as 0, so that equal values are one value whatever their order.
    for (double v : values)
        if (std::isfinite(v))
            sorted.append(v == 0 ? 0.0 : v);
    if (sorted.isEmpty())
        return;
    if (sorted.size() < 256)
        std::sort(sorted.begin(), sorted.end());
    else
        radixSort(sorted);

    const double first = sorted.first();
    const double last = sorted.last();
    scale = std::max({std::fabs(first), std::fabs(last), 1.0});
    minimum = first;
    maximum = last;

    // Compensated (Neumaier) sums on scaled values: huge magnitudes never overflow, and the
    // mean of decimal data comes out as the decimal a person expects (4223.92, not
    // 4223.919999999999). The variance is taken around that mean in a second pass.
    const double k = double(sorted.size());
    const auto compensatedMean = [&](auto term) {
        double sum = 0;
        double compensation = 0;
        for (double v : std::as_const(sorted)) {
            const double x = term(v);
            const double t = sum + x;
            compensation += std::fabs(sum) >= std::fabs(x) ? (sum - t) + x : (x - t) + sum;
            sum = t;
        }
        return (sum + compensation) / k;
    };
    // Scaled by the power of two at or above the scale, which changes no digit of the data.
    int exponent = 0;
    std::frexp(scale, &exponent);
    const double unit = std::ldexp(1.0, std::min(exponent, 1023));
    const double m = compensatedMean([unit](double v) { return v / unit; });
    const double variance = compensatedMean([&](double v) {
        const double d = v / unit - m;
        return d * d;
    });
    mean = m * unit;
    standardDeviation = std::min(unit * std::sqrt(std::max(variance, 0.0)), scale);
}

bool PlmDistribution::hasRange() const
{
    return minimum && maximum && *minimum < *maximum;
}

QList<double> PlmDistribution::thresholds(PlmClassificationMethod method, int classCount,
                                          const QList<double>& manualThresholds) const
{
    if (!hasRange())
        return method == PlmClassificationMethod::manual ? manualThresholds : QList<double>{};
    const int n = std::clamp(classCount, 1, 10);
    if (classCount < 2)
        return {};

    QList<double> candidates;
    switch (method) {
    case PlmClassificationMethod::manual:
        return manualThresholds;
    case PlmClassificationMethod::equalIntervals:
        candidates = PlmThresholds::equalIntervals(*minimum, *maximum, n);
        break;
    case PlmClassificationMethod::quantiles:
        candidates = PlmThresholds::quantiles(sorted, n);
        break;
    case PlmClassificationMethod::jenks:
        candidates = PlmThresholds::jenks(sorted, scale, n);
        break;
    case PlmClassificationMethod::standardDeviation:
        candidates = PlmThresholds::standardDeviation(mean.value_or(0), standardDeviation.value_or(0),
                                                      scale, n);
        break;
    }

    QList<double> out;
    out.reserve(candidates.size());
    for (double t : std::as_const(candidates))
        if (std::isfinite(t) && t >= *minimum && t < *maximum)
            out.append(t);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::optional<int> PlmDistribution::classIndex(std::optional<double> value,
                                               const QList<double>& thresholds)
{
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    for (qsizetype i = 0; i < thresholds.size(); ++i)
        if (thresholds[i] >= *value)
            return int(i);
    return int(thresholds.size());
}

double PlmDistribution::position(double v) const
{
    if (!hasRange())
        return 0.5;
    const double s = scale;
    double f = (v / s - *minimum / s) / (*maximum / s - *minimum / s);
    if (std::isnan(f))
        f = 0;
    return std::clamp(f, 0.0, 1.0);
}

double PlmDistribution::value(double at) const
{
    if (!minimum || !maximum)
        return 0;
    const double t = std::isnan(at) ? 0.0 : std::clamp(at, 0.0, 1.0);
    return t * *maximum + (1 - t) * *minimum;
}

QList<int> PlmDistribution::histogram(int binCount) const
{
    if (binCount < 1)
        return {};
    QList<int> bins(binCount, 0);
    for (double v : sorted) {
        const double slot = std::floor(position(v) * double(binCount));
        const int bin = std::min(binCount - 1, int(std::max(slot, 0.0)));
        ++bins[bin];
    }
    return bins;
}
