#pragma once

#include <QtGlobal>

#include <functional>

namespace PlmParallel {

// Runs work(begin, end) over [0, count) in runs of `chunk` indices, on Qt's global thread pool
// with the calling thread taking part, and returns once every run is done. Safe from a pool
// thread: runs that no pool thread picks up are done by the caller. A run that throws stops
// there; once all are done, the exception of the run with the lowest indices is rethrown, the
// one a loop in index order would have met first.
void forRuns(qsizetype count, qsizetype chunk, const std::function<void(qsizetype begin, qsizetype end)>& work);

} // namespace PlmParallel
