#pragma once

#include <QByteArray>
#include <QRandomGenerator>
#include <QtGlobal>

namespace velquor {

// The one source of randomness (session IDs, key-exchange nonces). The
// workbench draws from the system's cryptographic generator: predictable
// session IDs and nonces would weaken the sessions. Tests swap in
// SeededRandomSource for repeatable runs, as they swap the log clock.
class RandomSource
{
public:
    virtual ~RandomSource() = default;
    virtual quint32 next32() = 0;
    virtual void fill(char *data, qsizetype size) = 0;

    QByteArray bytes(qsizetype size);
};

class SystemRandomSource final : public RandomSource
{
public:
    quint32 next32() override;
    void fill(char *data, qsizetype size) override;
};

// The same sequence for the same seed, on every run and platform.
class SeededRandomSource final : public RandomSource
{
public:
    explicit SeededRandomSource(quint32 seed) : m_generator(seed) {}
    quint32 next32() override;
    void fill(char *data, qsizetype size) override;

private:
    QRandomGenerator m_generator;
};

} // namespace velquor
