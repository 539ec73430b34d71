#pragma once

// Builders of PET traps and a collector of trace output for the PET tests.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace pettest {

inline QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(QByteArray(digits));
}

// BER element with a short-form length.
inline QByteArray tlv(quint8 tag, const QByteArray &contents)
{
    QByteArray out;
    out.append(char(tag));
    out.append(char(quint8(contents.size())));
    out.append(contents);
    return out;
}

inline QByteArray be(quint64 value, int bytes)
{
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i)
        out.append(char(quint8(value >> (8 * i))));
    return out;
}

// The 46 fixed bytes of PET data and the OEM custom fields after them.
struct PetFields
{
    QByteArray guid = hex("0102030405060708090a0b0c0d0e0f10");
    quint16 sequence = 7;
    quint32 localTimestamp = 0x00010203;
    quint16 utcOffset = 0x0000;
    quint8 trapSource = 0x68;
    quint8 eventSource = 0x68;
    quint8 severity = 0x10;
    quint8 sensorDevice = 0x01;
    quint8 sensorNumber = 0x02;
    quint8 entity = 0x07;
    quint8 entityInstance = 0x01;
    QByteArray eventData = hex("a1a2a3a4a5a6a7a8");
    quint8 language = 0x19;
    quint32 manufacturer = 3183;
    quint16 systemId = 0x0102;
    QByteArray oem = hex("c1");

    QByteArray bytes() const
    {
        QByteArray out = guid.left(16);
        out += be(sequence, 2) + be(localTimestamp, 4) + be(utcOffset, 2);
        out.append(char(trapSource)).append(char(eventSource)).append(char(severity));
        out.append(char(sensorDevice)).append(char(sensorNumber)).append(char(entity)).append(char(entityInstance));
        out += eventData.left(8);
        out.append(char(language));
        out += be(manufacturer, 4) + be(systemId, 2) + oem;
        return out;
    }
};

// A Trap-PDU in an SNMPv1 message; lengths are computed unless overridden.
struct TrapSpec
{
    QByteArray version = tlv(0x02, hex("00"));
    QByteArray community = tlv(0x04, "public");
    quint8 pduType = 0xA4;
    QByteArray enterprise = tlv(0x06, hex("2b0601040198 6f0101"));
    QByteArray agent = tlv(0x40, hex("c0a80001"));
    QByteArray generic = tlv(0x02, hex("06"));
    quint32 specific = 0x00076F01; // processor, sensor-specific, thermal trip
    QByteArray timeTicks = tlv(0x43, hex("0000012c"));
    QByteArray name = tlv(0x06, hex("2b0601040198 6f010101"));
    PetFields pet;
    QByteArray petData; // replaces pet.bytes() when set
    quint8 octetTag = 0x04;
    QByteArray trailer;

    QByteArray bytes() const
    {
        const QByteArray data = petData.isNull() ? pet.bytes() : petData;
        QByteArray value;
        value.append(char(octetTag)).append(char(quint8(data.size()))).append(data);
        const QByteArray binding = tlv(0x30, name + value);
        const QByteArray bindings = tlv(0x30, binding);
        const QByteArray pduBody = enterprise + agent + generic + tlv(0x02, be(specific, 4)) + timeTicks + bindings + trailer;
        QByteArray pdu;
        pdu.append(char(pduType)).append(char(quint8(pduBody.size()))).append(pduBody);
        return tlv(0x30, version + community + pdu);
    }
};

inline QByteArray validTrap()
{
    return TrapSpec().bytes();
}

inline QByteArray heartbeatTrap(quint16 sequence = 1)
{
    TrapSpec spec;
    spec.specific = 0x00256F00;
    spec.pet.entity = 0x17;
    spec.pet.sequence = sequence;
    return spec.bytes();
}

inline QByteArray trapWithSequence(quint16 sequence, quint32 localTimestamp = 0x00010203)
{
    TrapSpec spec;
    spec.pet.sequence = sequence;
    spec.pet.localTimestamp = localTimestamp;
    return spec.bytes();
}

// Collects Qt debug output (the trace) while alive.
class TraceCollector
{
public:
    TraceCollector()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&TraceCollector::handler);
    }
    ~TraceCollector()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    QString text() const { return m_text; }
    void clear() { m_text.clear(); }

private:
    static void handler(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (s_current && type == QtDebugMsg)
            s_current->m_text += message;
    }
    static inline TraceCollector *s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    QString m_text;
};

} // namespace pettest
