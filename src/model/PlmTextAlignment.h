#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// Alignment of the text of a layout element.
enum class PlmTextAlignment { left, center, right, justified };

const QList<PlmTextAlignment>& allPlmTextAlignments();
QString rawValue(PlmTextAlignment alignment);
std::optional<PlmTextAlignment> plmTextAlignmentFromRawValue(QStringView text);
