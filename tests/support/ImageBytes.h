#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

// An image as a file of the format would hold it.
inline QByteArray encodedImage(const QImage& image, const char* format = "PNG")
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A PNG file of one colour.
inline QByteArray plainPng(QColor colour, int width, int height, QImage::Format format = QImage::Format_ARGB32)
{
    QImage image(width, height, format);
    image.fill(colour);
    return encodedImage(image);
}
