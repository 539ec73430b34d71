#include "sim/simconfig.h"

#include <QCommandLineParser>
#include <limits>

namespace velquor::sim {

namespace {

const char usage[] =
    "Usage: velquor-sim [OPTION...]\n"
    "\n"
    "A managed client to test the workbench against: it answers RMCP/ASF requests\n"
    "on UDP and, when asked, sends Platform Event Traps (heartbeats and alerts).\n"
    "Options that take a value accept it as the next argument or after '='.\n"
    "\n"
    "  -a, --address ADDR       listen for RMCP/ASF on this address (127.0.0.1;\n"
    "                           0.0.0.0 for every interface)\n"
    "  -p, --port PORT          ... and this UDP port (623; 0 picks a free one)\n"
    "  -v, --verbose            one line per datagram received and sent\n"
    "      --system-state N     System State reported at start (0, S0/G0 working)\n"
    "  -h, --help               this text\n"
    "\n"
    "Answers: an acknowledge for every ASF message with a sequence number below\n"
    "255; Presence Pong, Capabilities Response and System State Response for\n"
    "their requests unless the request's message tag is 255; Reset, Power-Up,\n"
    "Unconditional Power-Down and Power Cycle Reset change the System State.\n"
    "Responses are numbered 0 to 254 with the simulator's own sequence numbers.\n"
    "\n"
    "Faults in the answers:\n"
    "      --no-ack             acknowledge nothing\n"
    "      --late-ack MS        send acknowledges MS milliseconds late\n"
    "      --late MS            send responses MS milliseconds late\n"
    "      --response-first     send the response before the acknowledge\n"
    "      --wrong-tag          answer with another message tag than the request's\n"
    "      --skip-seq           every second response skips a sequence number\n"
    "      --repeat-seq         every second response repeats the one before\n"
    "      --iana NUMBER        IANA Enterprise Number in responses (4542)\n"
    "      --wrong-length KIND  size: a Data Length one more than the data;\n"
    "                           type: one data byte more than the message type has\n"
    "      --drop N             ignore the first N requests altogether\n"
    "      --twice              send every answer twice\n"
    "\n"
    "RSP secure sessions (off unless --rsp is given):\n"
    "      --rsp                answer RSP on the secure port: session creation\n"
    "                           (Presence Ping, Open Session, RAKP Messages 1 and\n"
    "                           3), secured requests answered as on the RMCP port,\n"
    "                           Close Session\n"
    "      --rsp-port PORT      the secure UDP port, on --address (664; 0 picks a\n"
    "                           free one)\n"
    "      --operator-key HEX   Operator Key, up to 20 bytes as hex digits (empty)\n"
    "      --administrator-key HEX\n"
    "                           Administrator Key, as above (empty)\n"
    "      --generator-key HEX  Generator Key, as above (empty)\n"
    "      --guid HEX           the client's GUID, 16 bytes as hex digits (zeros)\n"
    "      --rsp-users NAMES    user names accepted, separated by commas (any)\n"
    "  Faults in the sessions:\n"
    "      --rsp-status N       Status Code N in every Open Session Response\n"
    "      --rsp-rakp-status N  Status Code N in every RAKP Message 2\n"
    "      --rsp-close-status N Status Code N in every Close Session Response\n"
    "      --rsp-wrong-hash     RAKP Message 2 with a wrong key-exchange hash\n"
    "      --rsp-wrong-sidm     Open Session Response and RAKP Message 2 name\n"
    "                           another SIDm than the console's\n"
    "      --rsp-bad-integrity  secured answers with wrong integrity data\n"
    "      --rsp-replay         every secured answer sent twice with the same\n"
    "                           sequence number\n"
    "      --rsp-stale          every second secured answer carries a sequence\n"
    "                           number 32 behind the one before\n"
    "      --rsp-no-ack         acknowledge nothing on the secure port\n"
    "\n"
    "Platform Event Traps (off unless --traps is given):\n"
    "      --traps              send traps\n"
    "      --trap-address ADDR  to this address (127.0.0.1)\n"
    "      --trap-port PORT     ... and this UDP port (162)\n"
    "      --heartbeat-interval MS\n"
    "                           a heartbeat every MS milliseconds, the first one\n"
    "                           after one interval (600000; 0: none)\n"
    "      --alerts N           send N alerts, the first at start (0)\n"
    "      --alert-period MS    between the first sends of two alerts (10000)\n"
    "      --alert-retransmissions N\n"
    "                           sends of each alert after its first, with the same\n"
    "                           sequence number and bytes (2)\n"
    "      --alert-spacing MS   between the sends of one alert (1000)\n"
    "  Faults in the traps:\n"
    "      --changed-retransmissions\n"
    "                           retransmissions differ from the first send\n"
    "      --miss-heartbeats N  leave out every N-th heartbeat\n"
    "      --malformed-traps    every trap with a wrong PDU type\n"
    "      --truncated-traps    every trap cut short inside its PET data\n"
    "\n"
    "SIGUSR1 sends one more alert at once (with --traps). SIGINT and SIGTERM end\n"
    "the program. Exit status: 0 after a signal or --help, 1 when a socket cannot\n"
    "be bound, 2 for bad arguments (with a message on standard error).\n";

constexpr quint32 MaxMs = 86400000; // a day: longer waits are typing errors

struct Reader
{
    const QCommandLineParser &parser;
    QString error;

    bool failed() const { return !error.isEmpty(); }

    // A decimal number (or 0x and hex digits) in [low, high].
    bool number(const char *name, quint64 low, quint64 high, quint64 &out)
    {
        const QString option = QLatin1String(name);
        if (failed() || !parser.isSet(option))
            return false;
        const QString text = parser.value(option).trimmed();
        bool ok = false;
        const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
        const quint64 value = hex ? text.mid(2).toULongLong(&ok, 16) : text.toULongLong(&ok, 10);
        if (!ok || value < low || value > high) {
            error = QStringLiteral("--%1 wants a whole number from %2 to %3, not '%4'")
                        .arg(option).arg(low).arg(high).arg(parser.value(option));
            return false;
        }
        out = value;
        return true;
    }
    template<typename T>
    void set(const char *name, quint64 low, quint64 high, T &field)
    {
        quint64 value = 0;
        if (number(name, low, high, value))
            field = T(value);
    }
    // Hex digits (blanks allowed between bytes) for at most maxBytes bytes;
    // exactly that many when exact.
    void bytes(const char *name, int maxBytes, bool exact, QByteArray &field)
    {
        const QString option = QLatin1String(name);
        if (failed() || !parser.isSet(option))
            return;
        const QString text = parser.value(option).remove(QLatin1Char(' '));
        bool hexOnly = text.size() % 2 == 0;
        for (const QChar c : text)
            hexOnly = hexOnly && (c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')));
        const QByteArray value = QByteArray::fromHex(text.toLatin1());
        if (!hexOnly || value.size() > maxBytes || (exact && value.size() != maxBytes)) {
            error = QStringLiteral("--%1 wants %2%3 bytes as hex digits, not '%4'")
                        .arg(option, QLatin1String(exact ? "" : "up to ")).arg(maxBytes).arg(parser.value(option));
            return;
        }
        field = value;
    }
    void address(const char *name, QHostAddress &field)
    {
        const QString option = QLatin1String(name);
        if (failed() || !parser.isSet(option))
            return;
        const QHostAddress parsed(parser.value(option).trimmed());
        if (parsed.isNull())
            error = QStringLiteral("--%1 wants an IP address, not '%2'").arg(option, parser.value(option));
        else
            field = parsed;
    }
};

} // namespace

QString usageText()
{
    return QString::fromLatin1(usage);
}

ParsedArguments parseArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto valued = [](const QStringList &names) { return QCommandLineOption(names, QString(), QStringLiteral("v")); };
    const auto flag = [](const QStringList &names) { return QCommandLineOption(names); };
    const QList<QCommandLineOption> options{
        flag({"h", "help"}), valued({"a", "address"}), valued({"p", "port"}), flag({"v", "verbose"}),
        valued({"system-state"}), flag({"no-ack"}), valued({"late-ack"}), valued({"late"}),
        flag({"response-first"}), flag({"wrong-tag"}), flag({"skip-seq"}), flag({"repeat-seq"}),
        valued({"iana"}), valued({"wrong-length"}), valued({"drop"}), flag({"twice"}), flag({"traps"}),
        valued({"trap-address"}), valued({"trap-port"}), valued({"heartbeat-interval"}), valued({"alerts"}),
        valued({"alert-period"}), valued({"alert-retransmissions"}), valued({"alert-spacing"}),
        flag({"changed-retransmissions"}), valued({"miss-heartbeats"}), flag({"malformed-traps"}),
        flag({"truncated-traps"}), flag({"rsp"}), valued({"rsp-port"}), valued({"operator-key"}),
        valued({"administrator-key"}), valued({"generator-key"}), valued({"guid"}), valued({"rsp-users"}),
        valued({"rsp-status"}), valued({"rsp-rakp-status"}), valued({"rsp-close-status"}), flag({"rsp-wrong-hash"}),
        flag({"rsp-wrong-sidm"}), flag({"rsp-bad-integrity"}), flag({"rsp-replay"}), flag({"rsp-stale"}),
        flag({"rsp-no-ack"}),
    };
    parser.addOptions(options);

    ParsedArguments result;
    if (!parser.parse(QStringList{QStringLiteral("velquor-sim")} + arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        result.help = true;
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().constFirst());
        return result;
    }
    for (const QCommandLineOption &option : options) {
        // A value given twice is most likely a mistake; flags may repeat.
        if (parser.values(option).size() > 1) {
            result.error = QStringLiteral("--%1 given more than once").arg(option.names().constLast());
            return result;
        }
    }

    SimConfig &c = result.config;
    ResponderConfig &r = c.responder;
    TrapConfig &t = c.traps;
    Reader in{parser, {}};
    in.address("address", c.address);
    in.set("port", 0, 65535, c.port);
    c.verbose = parser.isSet(QStringLiteral("verbose"));
    in.set("system-state", 0, 255, r.systemState);
    r.acknowledge = !parser.isSet(QStringLiteral("no-ack"));
    in.set("late-ack", 0, MaxMs, r.ackDelayMs);
    in.set("late", 0, MaxMs, r.responseDelayMs);
    r.responseFirst = parser.isSet(QStringLiteral("response-first"));
    r.wrongTag = parser.isSet(QStringLiteral("wrong-tag"));
    if (parser.isSet(QStringLiteral("skip-seq")) && parser.isSet(QStringLiteral("repeat-seq")))
        in.error = QStringLiteral("choose one of --skip-seq and --repeat-seq");
    else if (parser.isSet(QStringLiteral("skip-seq")))
        r.sequenceFault = ResponderConfig::SequenceFault::Skip;
    else if (parser.isSet(QStringLiteral("repeat-seq")))
        r.sequenceFault = ResponderConfig::SequenceFault::Repeat;
    in.set("iana", 0, std::numeric_limits<quint32>::max(), r.ianaEnterpriseNr);
    if (!in.failed() && parser.isSet(QStringLiteral("wrong-length"))) {
        const QString kind = parser.value(QStringLiteral("wrong-length"));
        if (kind == QLatin1String("size"))
            r.lengthFault = ResponderConfig::LengthFault::Size;
        else if (kind == QLatin1String("type"))
            r.lengthFault = ResponderConfig::LengthFault::Type;
        else
            in.error = QStringLiteral("--wrong-length wants 'size' or 'type', not '%1'").arg(kind);
    }
    in.set("drop", 0, 1000000000, r.dropFirst);
    r.twice = parser.isSet(QStringLiteral("twice"));

    RspConfig &k = c.rsp;
    k.enabled = parser.isSet(QStringLiteral("rsp"));
    in.set("rsp-port", 0, 65535, k.port);
    in.bytes("operator-key", 20, false, k.operatorKey);
    in.bytes("administrator-key", 20, false, k.administratorKey);
    in.bytes("generator-key", 20, false, k.generatorKey);
    in.bytes("guid", 16, true, k.guid);
    if (!in.failed() && parser.isSet(QStringLiteral("rsp-users"))) {
        k.users = parser.value(QStringLiteral("rsp-users")).split(QLatin1Char(','));
        for (const QString &name : k.users) {
            if (name.size() > 16 || name.toLatin1() != name.toUtf8()) {
                in.error = QStringLiteral("--rsp-users wants names of up to 16 Latin-1 characters, not '%1'").arg(name);
                break;
            }
        }
    }
    in.set("rsp-status", 0, 255, k.openStatus);
    in.set("rsp-rakp-status", 0, 255, k.rakpStatus);
    in.set("rsp-close-status", 0, 255, k.closeStatus);
    k.wrongHash = parser.isSet(QStringLiteral("rsp-wrong-hash"));
    k.wrongSidm = parser.isSet(QStringLiteral("rsp-wrong-sidm"));
    k.badIntegrity = parser.isSet(QStringLiteral("rsp-bad-integrity"));
    k.replay = parser.isSet(QStringLiteral("rsp-replay"));
    k.stale = parser.isSet(QStringLiteral("rsp-stale"));
    k.noAck = parser.isSet(QStringLiteral("rsp-no-ack"));
    if (!in.failed() && !k.enabled) {
        for (const char *name : {"rsp-port", "operator-key", "administrator-key", "generator-key", "guid", "rsp-users",
                                 "rsp-status", "rsp-rakp-status", "rsp-close-status", "rsp-wrong-hash",
                                 "rsp-wrong-sidm", "rsp-bad-integrity", "rsp-replay", "rsp-stale", "rsp-no-ack"}) {
            if (parser.isSet(QLatin1String(name))) {
                in.error = QStringLiteral("--%1 needs --rsp").arg(QLatin1String(name));
                break;
            }
        }
    }

    t.enabled = parser.isSet(QStringLiteral("traps"));
    in.address("trap-address", t.address);
    in.set("trap-port", 1, 65535, t.port);
    in.set("heartbeat-interval", 0, MaxMs, t.heartbeatIntervalMs);
    in.set("miss-heartbeats", 1, 1000000, t.missHeartbeats);
    in.set("alerts", 0, 1000000, t.alerts);
    in.set("alert-period", 0, MaxMs, t.alertPeriodMs);
    in.set("alert-retransmissions", 0, 100, t.alertRetransmissions);
    in.set("alert-spacing", 0, MaxMs, t.alertSpacingMs);
    t.changedRetransmissions = parser.isSet(QStringLiteral("changed-retransmissions"));
    t.malformed = parser.isSet(QStringLiteral("malformed-traps"));
    t.truncated = parser.isSet(QStringLiteral("truncated-traps"));
    if (!in.failed() && !t.enabled) {
        for (const char *name : {"trap-address", "trap-port", "heartbeat-interval", "miss-heartbeats", "alerts",
                                 "alert-period", "alert-retransmissions", "alert-spacing", "changed-retransmissions",
                                 "malformed-traps", "truncated-traps"}) {
            if (parser.isSet(QLatin1String(name))) {
                in.error = QStringLiteral("--%1 needs --traps").arg(QLatin1String(name));
                break;
            }
        }
    }
    result.error = in.error;
    return result;
}

} // namespace velquor::sim
