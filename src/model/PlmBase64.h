#pragma once

#include <QByteArray>
#include <optional>
#include <string>
#include <string_view>

// Standard Base64 (RFC 4648 alphabet, '=' padding, no line breaks), strict on reading: any
// other character, white space, missing padding or non-zero pad bits refuse the text.
namespace PlmBase64 {

void append(std::string& out, const QByteArray& bytes);
QByteArray encode(const QByteArray& bytes);
std::optional<QByteArray> decode(std::string_view text);

} // namespace PlmBase64
