#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// Shape of proportional symbols and of symbol decorations.
enum class PlmSymbolKind { circle, square, triangle, sfSymbol, svg };

const QList<PlmSymbolKind>& allPlmSymbolKinds();
QString rawValue(PlmSymbolKind kind);
std::optional<PlmSymbolKind> plmSymbolKindFromRawValue(QStringView text);
QString title(PlmSymbolKind kind);

// Rendering of a system symbol: regular weight, medium scale, monochrome.
enum class PlmSFSymbolConfiguration { regularMediumMonochrome };

QString rawValue(PlmSFSymbolConfiguration configuration);
std::optional<PlmSFSymbolConfiguration> plmSFSymbolConfigurationFromRawValue(QStringView text);
