#include "core/randomsource.h"

namespace velquor {

namespace {

// Bytes from successive 32-bit words, low byte first, so a seeded sequence
// does not depend on the host's byte order.
void fillFromWords(QRandomGenerator &generator, char *data, qsizetype size)
{
    for (qsizetype i = 0; i < size; i += 4) {
        const quint32 word = generator.generate();
        for (qsizetype b = 0; b < 4 && i + b < size; ++b)
            data[i + b] = char(word >> (8 * b));
    }
}

} // namespace

QByteArray RandomSource::bytes(qsizetype size)
{
    QByteArray out(qMax<qsizetype>(size, 0), Qt::Uninitialized);
    fill(out.data(), out.size());
    return out;
}

quint32 SystemRandomSource::next32()
{
    return QRandomGenerator::system()->generate();
}

void SystemRandomSource::fill(char *data, qsizetype size)
{
    fillFromWords(*QRandomGenerator::system(), data, size);
}

quint32 SeededRandomSource::next32()
{
    return m_generator.generate();
}

void SeededRandomSource::fill(char *data, qsizetype size)
{
    fillFromWords(m_generator, data, size);
}

} // namespace velquor
