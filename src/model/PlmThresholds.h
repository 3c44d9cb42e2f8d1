#pragma once

#include <QList>

// Candidate class thresholds of the computed classification methods.
// Every function takes the finite values sorted ascending (duplicates kept),
// the wanted class count n (already clamped to 2..10) and returns the n - 1
// raw candidates; filtering to [minimum, maximum) and de-duplication is the
// caller's job (PlmDistribution::thresholds).
namespace PlmThresholds {

QList<double> equalIntervals(double minimum, double maximum, int classCount);

QList<double> quantiles(const QList<double>& sorted, int classCount);

// mean and standardDeviation are the distribution's statistics (0 when absent).
QList<double> standardDeviation(double mean, double standardDeviation, double scale,
                                int classCount);

// Exact natural breaks: minimum within-class sum of squared deviations, found
// by dynamic programming over the distinct values with divide-and-conquer
// optimisation, O(K * m * log m) for m distinct values. Each candidate is the
// largest value of its class; the result is ascending. Fewer than two distinct
// values give no candidates.
QList<double> jenks(const QList<double>& sorted, double scale, int classCount);

// The widest vector instructions natural breaks may use, when the processor has them. Every
// kind chooses the same splits; tests lower the ceiling to check each against the others.
enum class JenksKernel { portable, avx2, avx512 };
JenksKernel& jenksKernelCeiling();

// Within-class sum of squared deviations of `sorted` cut at `thresholds`
// (a value equal to a threshold belongs to the lower class). Used to compare
// partitions; computed on centred values for accuracy.
double withinClassSquares(const QList<double>& sorted, const QList<double>& thresholds);

} // namespace PlmThresholds
