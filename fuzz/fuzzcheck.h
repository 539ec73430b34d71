#pragma once

// Shared by the fuzz targets: property checks that abort with a clear
// message (libFuzzer then keeps the input as a crash), and a reader of the
// input as a stream of small numbers.

#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace velquor::fuzz {

[[noreturn]] inline void propertyFailed(const char *file, int line, const char *property, const QString &detail)
{
    std::fprintf(stderr, "\n*** fuzz property failed (%s:%d): %s\n", file, line, property);
    if (!detail.isEmpty())
        std::fprintf(stderr, "%s\n", detail.toLocal8Bit().constData());
    std::fflush(stderr);
    std::abort();
}

// FUZZ_CHECK(condition) or FUZZ_CHECK(condition, detail text)
#define FUZZ_CHECK(condition, ...)                                                                                     \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            ::velquor::fuzz::propertyFailed(__FILE__, __LINE__, #condition, QString(__VA_ARGS__));                     \
    } while (0)

// Reads the input front to back; past its end every value is 0.
class ByteReader
{
public:
    ByteReader(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_pos >= m_size; }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint16_t word() { return uint16_t((byte() << 8) | byte()); }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace velquor::fuzz
