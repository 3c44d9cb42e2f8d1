#pragma once

#include "model/PlmCancellation.h"
#include "model/PlmWork.h"

#include <QByteArray>

class PlmJsonValue;
class PlmJsonWriter;

// The work document (".plm"): {"version": 1, "work": PlmWork}, pretty printed at the shallow
// levels (PlmJsonWriter) with sorted keys. Derived data (values of calculated variables,
// automatic class thresholds) is never trusted: it is recomputed on both ways. All functions
// are pure and callable from any thread.
struct PlmWorkCodec {
    static constexpr int version = 1;

    struct Document {
        qint64 version = PlmWorkCodec::version;
        PlmWork work;

        static Document fromJson(const PlmJsonValue& value);
        void writeJson(PlmJsonWriter& writer) const;
    };

    // Validates, recomputes a copy, writes it. Throws the first failure of validation or
    // recomputation (PlmWorkError, PlmMapError, PlmCancellationError) or PlmJsonEncodingError
    // (PlmJsonTooLargeError for a text larger than reading accepts).
    // The work passed in is not changed.
    static QByteArray encode(const PlmWork& work, const PlmCancellationToken& cancellation = {});

    // Reads, checks the version ("Version .plm non prise en charge : " + number), validates
    // what the user entered and returns the work with its derived data recomputed. Throws
    // PlmJsonDecodingError for a malformed file, else the validation's errors.
    static PlmWork decode(const QByteArray& bytes, const PlmCancellationToken& cancellation = {});

    // Empties the derived data that the recomputations replace anyway: the values of every
    // calculated variable and the thresholds that recomputeThematicThresholds() rewrites.
    // Stale derived data (values of a deleted entity, an out-of-range automatic threshold)
    // then cannot make a work that the user entered correctly fail its validation.
    static void dropDerivedData(PlmWork& work);
};
