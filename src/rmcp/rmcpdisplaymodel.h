#pragma once

#include "rmcp/rmcpfields.h"

#include <QByteArrayView>
#include <QString>
#include <array>

namespace velquor::rmcp {

// What the detail view of one message shows; the widget only renders it.
struct DisplayBox
{
    QString value;
    int status = ASF_PACKET_OK; // colours the box
    QString toolTip;
};

struct DisplayModel
{
    enum Kind { Request, Response, Ack };

    QString title;     // rich text
    int direction = 1; // 0 received, 2 sent, other: neither
    Kind kind = Request;
    bool showRsp = false; // the RSP header and trailer boxes
    // One box per field; the RmcpData box holds the decoded data section.
    std::array<DisplayBox, FieldCount> boxes;
    QString hexText;

    const DisplayBox &box(FieldId id) const { return boxes[size_t(id)]; }
};

DisplayModel displayModel(const RmcpFields &fields, QByteArrayView bytes, int protocolType,
                          const QString &protocolLabel, int direction);

// The decoded data section as the detail view shows it: the text form's
// lines without their leading tabs, undecoded bytes in labelled rows.
QString displayDataText(const RmcpFields &fields);

// Sixteen bytes a line, "%d - %d:" labels padded to 15 characters.
QString displayHexText(QByteArrayView bytes);

} // namespace velquor::rmcp
