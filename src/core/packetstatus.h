#pragma once

#include <QString>

enum {
    ASF_PACKET_ERROR = -1,
    ASF_PACKET_WARNING = 0,
    ASF_PACKET_OK = 1,
};
using ASF_PacketStatus = int;

namespace velquor {

// Status and info text of a record or of a check run. Worst wins: a warning
// never lowers an error; only setOk() or setStatus() undo one.
class PacketFindings
{
public:
    explicit PacketFindings(const QString &info = QStringLiteral(" ")) : m_info(info) {}
    virtual ~PacketFindings() = default;

    ASF_PacketStatus status() const { return m_status; }
    const QString &info() const { return m_info; }

    void setStatus(int status) { m_status = status; }
    void setOk() { m_status = ASF_PACKET_OK; }
    void setWarning()
    {
        if (m_status != ASF_PACKET_ERROR)
            m_status = ASF_PACKET_WARNING;
    }
    void setError() { m_status = ASF_PACKET_ERROR; }

    void setInfo(const QString &text) { m_info = text; }
    // printf-style; cut to 299 bytes with a note on stdout when longer.
    void setInfo(const char *format, ...) __attribute__((format(printf, 2, 3)));
    void appendInfo(const QString &text);
    void appendInfo(const char *format, ...) __attribute__((format(printf, 2, 3)));

    // Gives back the room the info grew into while findings were appended:
    // a logged record keeps its info as long as the log.
    void squeezeInfo() { m_info.squeeze(); }

    // Findings: raise the status, add the text verbatim and trace it.
    void warning(const QString &text);
    void error(const QString &text);

    static constexpr int InfoLimit = 300;

private:
    ASF_PacketStatus m_status = ASF_PACKET_OK;
    QString m_info;
};

} // namespace velquor
