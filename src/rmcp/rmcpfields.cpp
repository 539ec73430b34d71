#include "rmcp/rmcpfields.h"

namespace velquor::rmcp {

const char *fieldName(FieldId id)
{
    static const char *const names[FieldCount] = {
        "Version",     "Reserved1",    "SequenceNr",   "MessageClass",      "IanaEnterpriseNr", "MessageType",
        "MessageTag",  "Reserved2",    "DataLength",   "RmcpData",          "RspSessionId",     "RspSequenceNumber",
        "RspPad",      "RspPadLength", "RspNextHeader", "RspIntegrityData",
    };
    const int i = int(id);
    return i >= 0 && i < FieldCount ? names[i] : "";
}

void RmcpFields::clearValues()
{
    const int keepTrailerLength = trailerLength;
    const auto keepStatuses = statuses;
    *this = RmcpFields();
    trailerLength = keepTrailerLength;
    statuses = keepStatuses;
}

} // namespace velquor::rmcp
