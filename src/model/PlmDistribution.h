#pragma once

#include <QList>
#include <optional>

enum class PlmClassificationMethod;

// Statistics of a numeric variable, from which every classification method
// computes its thresholds. Thresholds t0 < ... < t(n-1) make n + 1 classes;
// a value equal to a threshold belongs to the lower class.
struct PlmDistribution {
    QList<double> sorted;                    // finite values, ascending, duplicates kept
    std::optional<double> minimum;
    std::optional<double> maximum;
    std::optional<double> mean;
    std::optional<double> standardDeviation; // population (divided by the count)
    double scale = 1;                        // max(|min|, |max|, 1): keeps the arithmetic well conditioned

    PlmDistribution() = default;
    explicit PlmDistribution(const QList<double>& values);

    // Ascending distinct thresholds (at most 9) for the computed methods;
    // the manual method returns `manualThresholds` as given.
    QList<double> thresholds(PlmClassificationMethod method, int classCount,
                             const QList<double>& manualThresholds) const;

    // Class 0..thresholds.size(); none for an absent or non-finite value.
    static std::optional<int> classIndex(std::optional<double> value,
                                         const QList<double>& thresholds);

    // Fraction of the way from the minimum to the maximum, clamped to 0..1.
    double position(double value) const;
    // The value at a fraction t of the range (t clamped to 0..1).
    double value(double at) const;
    // Counts of the sorted values in binCount equal bins of the range.
    QList<int> histogram(int binCount) const;

    bool operator==(const PlmDistribution&) const = default;

private:
    bool hasRange() const;
};
