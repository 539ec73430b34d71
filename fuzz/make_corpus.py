#!/usr/bin/env python3
"""Generates datagram corpora for the fuzz targets and for output comparisons.

Every datagram is built here from the field layouts of PET traps and RMCP/ASF
messages, then mutated deterministically (fixed seed): each byte replaced by
boundary values, every truncation, random byte flips, insertions and
deletions.  Nothing is taken from elsewhere.

    make_corpus.py OUTDIR [--count N]

writes OUTDIR/pet.pcap (UDP to port 162), OUTDIR/rmcp.pcap (ports 623 and
664), and OUTDIR/pet.hex, OUTDIR/rmcp.hex, OUTDIR/rsp.hex (one datagram per
line, a sample for --hex runs).  With --seeds it also writes one file per
seed under OUTDIR/seeds/NAME for the fuzz targets (fuzz/CMakeLists.txt names
each target's folder):

    pet, rmcp      datagrams, a sample of the above
    capture        pcap and pcapng files of every link type the capture
                   reader takes, byte orders, resolutions, pcapng files with
                   several interfaces and time offsets, cut and odd frames
    hextext        texts for the hex-text parser (first byte: 0 Latin-1,
                   1 UTF-8)
    pet_analysis   operation streams for the PET analysis target (format in
                   fuzz/pet_analysis_fuzz.cpp)
    script         call streams for the script objects target (format in
                   fuzz/script_objects_fuzz.cpp)

The seeds use random generators of their own, so the files above stay the
same with or without --seeds.
"""
import argparse
import os
import random
import struct


def tlv(tag, contents):
    # Short form only, as the readers expect; longer contents wrap the length byte.
    return bytes([tag, len(contents) & 0xFF]) + contents


def be(value, size):
    return value.to_bytes(size, "big")


PET_FIXED = bytes.fromhex(
    "0102030405060708090a0b0c0d0e0f10" "0007" "00010203" "0000" "68" "68" "10" "01" "02" "07" "01"
    "a1a2a3a4a5a6a7a8" "19" "00000c6f" "0102")


def trap(pdu_type=0xA4, specific=0x00076F01, generic=6, pet_tail=b"\xc1", pet_fixed=PET_FIXED,
         community=b"public", octet_tag=0x04, agent=bytes.fromhex("c0a80001"), ticks=300,
         enterprise=bytes.fromhex("2b06010401986f0101"), name=bytes.fromhex("2b06010401986f010101")):
    pet = pet_fixed + pet_tail
    binding = tlv(0x30, tlv(0x06, name) + tlv(octet_tag, pet))
    pdu = (tlv(0x06, enterprise) + tlv(0x40, agent) + tlv(0x02, be(generic, 1)) + tlv(0x02, be(specific, 4))
           + tlv(0x43, be(ticks, 4)) + tlv(0x30, binding))
    return tlv(0x30, tlv(0x02, b"\x00") + tlv(0x04, community) + tlv(pdu_type, pdu))


def pet_bases():
    fixed = bytearray(PET_FIXED)
    heartbeat = bytearray(PET_FIXED)
    heartbeat[29] = 0x17  # entity: system chassis
    bases = [
        trap(),
        trap(specific=0x00256F00, pet_fixed=bytes(heartbeat)),
        trap(pet_tail=bytes.fromhex("c0 03 aabbcc 41 02 1122 c1")),  # OEM records
        trap(pet_tail=bytes.fromhex("c1 30 00")),
        trap(pet_tail=b"\xc1" + bytes(range(20))),  # data too long
        trap(pet_tail=b"\xc1" + bytes(range(70))),  # lengths past 127
        trap(specific=0x00050301),                  # generic event type
        trap(specific=0x00FF7005),                  # OEM event type
        trap(specific=0x00076F81),                  # deassertion
        trap(generic=0, specific=0),
        trap(community=b"", agent=bytes.fromhex("0a000001")),
    ]
    # Every code of the coded fields once.
    for offset, values in ((24, range(0, 256, 7)), (25, range(0, 256, 5)), (26, (0, 1, 2, 4, 8, 16, 32, 64, 3)),
                           (29, range(0, 0x40)), (30, (0, 1, 0x80)), (39, range(0, 256, 11))):
        for v in values:
            f = bytearray(fixed)
            f[offset] = v
            bases.append(trap(pet_fixed=bytes(f)))
    for sensor in list(range(0, 0x30)) + [0xC0, 0xFF]:
        for event in (0x01, 0x02, 0x03, 0x05, 0x07, 0x0B, 0x0C, 0x0D, 0x6F, 0x70, 0x7F, 0x80):
            bases.append(trap(specific=(sensor << 16) | (event << 8) | random.randrange(0, 16)))
    return bases


def message(mtype, data=b"", tag=7, seq=5, klass=6, iana=4542, version=6, length=None):
    if length is None:
        length = len(data)
    return bytes([version, 0, seq, klass]) + be(iana, 4) + bytes([mtype, tag, 0, length & 0xFF]) + data


def rsp(session, sequence, msg, trailer=True, pad=None, next_header=6):
    out = be(session, 4) + be(sequence, 4) + msg
    if trailer:
        if pad is None:
            pad = 4 - (((len(msg) + 2) % 4) + 4) % 4
        out += bytes(pad) + bytes([pad, next_header]) + bytes(range(0xA0, 0xAC))
    return out


def rmcp_bases():
    caps = bytes.fromhex("000011be 00 81 00 00 00 00 00 00 00 00 00 00")[:12]
    pong = bytes.fromhex("000011be 00 00 00 00 81 00 00 00 00 00 00 00")
    control = bytes.fromhex("000011be 01 0002 0123 0004")
    open_req = bytes.fromhex("11223344 01000008 01000000 02000008 01000000")
    open_resp = bytes.fromhex("00 000000 11223344 55667788 01000008 01000000 02000008 01000000")
    rakp1 = bytes.fromhex("55667788") + bytes(range(16)) + bytes.fromhex("00 000000")
    rakp2 = bytes.fromhex("11223344") + bytes(range(16, 32)) + bytes(range(16)) + bytes(range(20))
    rakp3 = bytes.fromhex("55667788 00 000000") + bytes(range(20))
    datas = {
        0x10: [b"", control], 0x11: [b"", control], 0x12: [b""], 0x13: [b"", control],
        0x40: [pong], 0x41: [caps, bytes.fromhex("000011be 00 ff ff ff ff ff ff 00 00 00 00 00")],
        0x42: [b"\x00\x00", b"\x05\x00", b"\x0f\x01"], 0x43: [open_resp], 0x44: [b"\x00\x00\x00\x00"],
        0x80: [b""], 0x81: [b""], 0x82: [b""], 0x83: [open_req], 0x84: [b"\x11\x22\x33\x44"],
        0xC0: [rakp1, rakp1 + b"admin"], 0xC1: [rakp2], 0xC2: [rakp3],
        0x05: [b""], 0x20: [b"\x01\x02"], 0xFF: [b""],
    }
    bases = []
    for mtype, ds in datas.items():
        for d in ds:
            for tag in (7, 0xFF):
                bases.append((623, message(mtype, d, tag=tag)))
                bases.append((664, rsp(0x11223344, 9, message(mtype, d, tag=tag))))
            bases.append((664, rsp(0, 0, message(mtype, d), trailer=False)))
    for status in range(0, 0x13):
        bases.append((623, message(0x43, bytes([status]) + open_resp[1:])))
        bases.append((664, rsp(0, 0, message(0xC1, bytes([status]) + rakp2[1:]), trailer=False)))
    # Acknowledges and other classes.
    for klass in (0x86, 0x06, 0x07, 0x87, 0x00, 0x80):
        bases.append((623, bytes([6, 0, 5, klass])))
        bases.append((664, rsp(0x11223344, 3, bytes([6, 0, 5, klass]))))
        bases.append((664, rsp(0, 0, bytes([6, 0, 5, klass]), trailer=False)))
    return bases


def mutants(base, rng, extra):
    out = [base]
    for n in range(len(base)):
        out.append(base[:n])
    for i in range(len(base)):
        for v in (0x00, 0xFF, base[i] ^ 0x01, (base[i] + 1) & 0xFF, 0x80, 0x7F):
            if v != base[i]:
                out.append(base[:i] + bytes([v]) + base[i + 1:])
    for _ in range(extra):
        b = bytearray(base)
        for _ in range(rng.randrange(1, 5)):
            op = rng.randrange(4)
            if op == 0 and b:
                b[rng.randrange(len(b))] = rng.randrange(256)
            elif op == 1:
                b.insert(rng.randrange(len(b) + 1), rng.randrange(256))
            elif op == 2 and b:
                del b[rng.randrange(len(b))]
            else:
                b += bytes(rng.randrange(256) for _ in range(rng.randrange(1, 20)))
        out.append(bytes(b))
    return out


def write_pcap(path, datagrams):
    """datagrams: (port, payload) in order, one second apart."""
    with open(path, "wb") as f:
        f.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 1))
        for i, (port, payload) in enumerate(datagrams):
            udp = struct.pack(">HHHH", 40000, port, 8 + len(payload), 0) + payload
            ip = struct.pack(">BBHHHBBH4s4s", 0x45, 0, 20 + len(udp), 0, 0, 64, 17, 0,
                             bytes([10, 0, 0, 2]), bytes([10, 0, 0, 1]))
            frame = b"\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\x08\x00" + ip + udp
            sec = 1700000000 + i // 3
            f.write(struct.pack("<IIII", sec, (i % 3) * 250000, len(frame), len(frame)))
            f.write(frame)


# --- capture files -----------------------------------------------------------

LINK_ETHERNET, LINK_NULL, LINK_RAW, LINK_LOOP, LINK_SLL, LINK_IPV4, LINK_IPV6, LINK_SLL2 = 1, 0, 101, 108, 113, 228, 229, 276


def ipv4(payload, sport=40000, dport=162, options=b"", fragment=0, udp_length=None, protocol=17):
    udp_length = 8 + len(payload) if udp_length is None else udp_length
    udp = struct.pack(">HHHH", sport, dport, udp_length, 0) + payload
    ihl = 5 + len(options) // 4
    return struct.pack(">BBHHHBBH4s4s", 0x40 | ihl, 0, ihl * 4 + len(udp), 1, fragment, 64, protocol, 0,
                       bytes([192, 168, 0, 1]), bytes([192, 168, 0, 2])) + options + udp


def ipv6(payload, sport=40000, dport=623, next_header=17):
    udp = struct.pack(">HHHH", sport, dport, 8 + len(payload), 0) + payload
    return (struct.pack(">IHBB", 0x60000000, len(udp), next_header, 64) + bytes(15) + b"\x01" + bytes(15) + b"\x02"
            + udp)


def link_frame(linktype, packet, vlan=False):
    v6 = packet[0] >> 4 == 6
    ethertype = 0x86DD if v6 else 0x0800
    if linktype == LINK_ETHERNET:
        tag = struct.pack(">HH", 0x8100, 5) if vlan else b""
        return bytes.fromhex("020000000002 020000000001") + tag + struct.pack(">H", ethertype) + packet
    if linktype == LINK_SLL:
        return struct.pack(">HHH8sH", 0, 1, 6, bytes(8), ethertype) + packet
    if linktype == LINK_SLL2:
        return struct.pack(">HHIHBB8s", ethertype, 0, 2, 1, 0, 6, bytes(8)) + packet
    if linktype == LINK_NULL:
        return struct.pack("<I", 30 if v6 else 2) + packet
    if linktype == LINK_LOOP:
        return struct.pack(">I", 30 if v6 else 2) + packet
    return packet  # raw IP, IPv4, IPv6


def classic_pcap(linktype, records, endian="<", nano=False):
    """records: (seconds, fraction, frame[, wire length])"""
    out = struct.pack(endian + "IHHiIII", 0xA1B23C4D if nano else 0xA1B2C3D4, 2, 4, 0, 0, 65535, linktype)
    for record in records:
        sec, frac, frame = record[:3]
        wire = record[3] if len(record) > 3 else len(frame)
        out += struct.pack(endian + "IIII", sec, frac, len(frame), wire) + frame
    return out


def pcapng_block(block_type, body, endian):
    body += bytes(-len(body) % 4)
    total = 12 + len(body)
    return struct.pack(endian + "II", block_type, total) + body + struct.pack(endian + "I", total)


def pcapng_section(endian="<"):
    return pcapng_block(0x0A0D0D0A, struct.pack(endian + "IHHq", 0x1A2B3C4D, 1, 0, -1), endian)


def pcapng_interface(linktype, tsoffset=None, tsresol=None, endian="<"):
    options = b""
    if tsresol is not None:
        options += struct.pack(endian + "HH", 9, 1) + bytes([tsresol]) + bytes(3)
    if tsoffset is not None:
        options += struct.pack(endian + "HHq", 14, 8, tsoffset)
    if options:
        options += struct.pack(endian + "HH", 0, 0)
    return pcapng_block(1, struct.pack(endian + "HHI", linktype, 0, 65535) + options, endian)


def pcapng_packet(interface, stamp, frame, endian="<", wire=None):
    wire = len(frame) if wire is None else wire
    stamp &= (1 << 64) - 1
    return pcapng_block(6, struct.pack(endian + "IIIII", interface, stamp >> 32, stamp & 0xFFFFFFFF, len(frame), wire)
                        + frame, endian)


def pcapng_simple_packet(frame, endian="<"):
    return pcapng_block(3, struct.pack(endian + "I", len(frame)) + frame, endian)


def capture_seeds():
    ping = bytes.fromhex("0600ff06000011be80000000")
    heartbeat = trap(specific=0x00256F00)[:60]  # a cut trap keeps the files small
    seeds = []
    links = (LINK_ETHERNET, LINK_SLL, LINK_SLL2, LINK_NULL, LINK_LOOP, LINK_RAW, LINK_IPV4, LINK_IPV6)
    for linktype in links:
        packets = [ipv4(ping, dport=623), ipv4(heartbeat), ipv4(ping, dport=664, options=bytes(4))]
        if linktype != LINK_IPV4:
            packets.append(ipv6(ping))
        if linktype != LINK_IPV6:
            packets += [ipv4(ping, fragment=0x2000), ipv4(ping, fragment=0x0004), ipv4(ping, udp_length=4),
                        ipv4(ping, udp_length=200), ipv4(ping, protocol=6)]
        frames = [link_frame(linktype, p) for p in packets]
        if linktype == LINK_ETHERNET:
            frames.append(link_frame(linktype, ipv4(ping, dport=623), vlan=True))
        records = [(1700000000 + i, i * 1000, f) for i, f in enumerate(frames)]
        records.append((1700000100, 0, frames[0][:30], len(frames[0])))  # cut short in the capture
        seeds.append(classic_pcap(linktype, records))
        nglinks = pcapng_section() + pcapng_interface(linktype)
        nglinks += b"".join(pcapng_packet(0, (1700000000 + i) * 1000000, f) for i, f in enumerate(frames))
        seeds.append(nglinks)
    frame = link_frame(LINK_ETHERNET, ipv4(ping, dport=623))
    # Byte orders and resolutions.
    seeds.append(classic_pcap(LINK_ETHERNET, [(1700000000, 5, frame), (1700000001, 999999, frame)], endian=">"))
    seeds.append(classic_pcap(LINK_ETHERNET, [(1700000000, 999999999, frame), (2, 0, frame)], nano=True))
    seeds.append(classic_pcap(LINK_ETHERNET, [(0x7FFFFFF6, 0, frame), (0x80000000, 0, frame), (0xFFFFFFFF, 999999, frame)]))
    seeds.append(pcapng_section(">") + pcapng_interface(LINK_ETHERNET, endian=">")
                 + pcapng_packet(0, 1700000000 * 1000000, frame, endian=">"))
    # Several interfaces with time offsets and resolutions; stamps at the ends.
    ng = (pcapng_section() + pcapng_interface(LINK_ETHERNET, tsoffset=9 * 10**12)
          + pcapng_interface(LINK_ETHERNET, tsoffset=-9 * 10**12) + pcapng_interface(LINK_ETHERNET, tsresol=9)
          + pcapng_interface(LINK_ETHERNET, tsresol=0x80 | 10, tsoffset=-10)
          + pcapng_interface(LINK_ETHERNET, tsoffset=-(2**63)))
    for interface, stamp in ((0, 0), (1, 0), (2, 10**18), (3, 1 << 40), (4, 5), (0, 2**63 - 1), (2, 2**64 - 1),
                             (1, 5000000)):
        ng += pcapng_packet(interface, stamp, frame)
    ng += pcapng_simple_packet(frame)
    seeds.append(ng)
    seeds.append(pcapng_section() + pcapng_interface(LINK_ETHERNET) + pcapng_packet(0, 2**63 - 5000000, frame)
                 + pcapng_packet(0, 2**63 + 5000000, frame) + pcapng_section() + pcapng_interface(LINK_ETHERNET)
                 + pcapng_packet(0, 0, frame))
    return seeds


# --- hex texts -----------------------------------------------------------------


def hextext_seeds():
    texts = ["06 00 ff 06", "0600ff06", "\t06\t00  FF 06 ", "", " \t", "0 600ff06", "0600 f f06", "060", "0 60",
             "0x06", "06,00", "06\n00", "ff" * 40, "0123456789abcdefABCDEF ", "06 0", "g0"]
    seeds = [b"\x00" + t.encode("latin-1") for t in texts]
    seeds += [b"\x01" + t.encode("utf-8") for t in ("06 00", "0\u0666", "06\u00a000", "\u00e9\u00e9")]
    return seeds


# --- PET sequences ---------------------------------------------------------------


def op_trap(advance=0, seq=1, contents=0, flags=0):
    """advance: index into the target's table below 16, else seconds + 16."""
    if seq > 7:
        return bytes([0, advance, 0x80]) + struct.pack(">H", seq) + bytes([contents, flags])
    return bytes([0, advance, seq, contents, flags])


OP_TICK = bytes([4])


def op_back(seconds=0, restart=False):
    return bytes([5, 0x80 if restart else seconds & 0x7F])


def op_settings(on, interval_minutes, tolerance_sixteenths):
    return bytes([6, 1 if on else 0, interval_minutes, tolerance_sixteenths])


OP_RESTART = bytes([7])
A0, A1S, A10S, A30S, A60S, A90S, A2M = 0, 3, 5, 7, 9, 11, 13


def script_seeds():
    """Calls of every object's first slots with plain and hostile arguments."""
    rng = random.Random(4711)
    seeds = []
    for obj in range(10):
        for slot in range(0, 24, 3):
            seeds.append(bytes([obj, slot, 0]) + bytes(rng.randrange(0, 46) for _ in range(12)))
    for _ in range(20):
        seeds.append(bytes(rng.randrange(256) for _ in range(rng.randrange(8, 64))))
    return seeds


def pet_analysis_seeds():
    rng = random.Random(4321)
    seeds = [
        # Retransmissions, one too many, then expiry.
        op_trap() + op_trap(A10S) + op_trap(A10S) + op_trap(A10S) + OP_TICK * 6,
        # Reuse after 90 s, with and without retransmissions, and with other contents.
        op_trap(seq=2) + op_trap(A10S, seq=2) + op_trap(A10S, seq=2) + op_trap(A90S, seq=2) + op_trap(seq=3)
        + op_trap(A90S, seq=3) + op_trap(A60S, seq=3, contents=5) + OP_TICK * 4,
        # A flood of new contents under one number within the minute, then beyond it.
        b"".join(op_trap(A1S, seq=4, contents=c | 0x80 | (c << 3)) for c in range(16)) + op_trap(A90S, seq=4)
        + OP_TICK * 5,
        # The clock goes back (another page restarts it) between traps.
        op_trap(A2M, seq=5) + op_back(100) + op_trap(seq=5, contents=1) + op_trap(A10S, seq=5) + op_back(restart=True)
        + op_trap(seq=5) + OP_TICK * 5,
        # Heartbeats with supervision on, sequence number 0, time stamps off the clock, a restart.
        op_settings(True, 1, 8) + op_trap(A30S, seq=0, flags=1) + op_trap(A60S, flags=1) + OP_TICK * 3
        + op_trap(seq=0) + op_trap(flags=0x10) + op_trap(flags=0x90) + op_trap(seq=300, flags=6) + OP_RESTART
        + op_trap(seq=1) + OP_TICK * 5,
    ]
    for _ in range(24):
        ops = b""
        for _ in range(rng.randrange(5, 60)):
            kind = rng.random()
            if kind < 0.75:
                ops += op_trap(rng.choice((A0, A1S, A10S, A30S, A60S, A90S, rng.randrange(32))), rng.randrange(1, 4),
                               rng.randrange(4), rng.choice((0, 0, 0, 2, 0x10, 0x80)))
            elif kind < 0.9:
                ops += OP_TICK
            elif kind < 0.97:
                ops += op_back(rng.randrange(200))
            else:
                ops += op_settings(rng.random() < 0.5, rng.randrange(1, 12), rng.randrange(1, 40))
        seeds.append(ops)
    return seeds


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("outdir")
    parser.add_argument("--extra", type=int, default=40, help="random mutants per base datagram")
    parser.add_argument("--all-hex", action="store_true", help="also every datagram as hex: OUTDIR/{pet,rmcp,rsp}_all.hex")
    parser.add_argument("--seeds", action="store_true", help="also the fuzz targets' seeds under OUTDIR/seeds/NAME")
    args = parser.parse_args()
    random.seed(7)
    rng = random.Random(1234)
    os.makedirs(args.outdir, exist_ok=True)

    pet = []
    bases = pet_bases()
    for base in bases[:11]:
        pet.extend(mutants(base, rng, args.extra))
    for base in bases[11:]:  # one per code: the code itself matters, not its neighbours
        pet.append(base)
        pet.extend(mutants(base, rng, 3)[-3:])
    rmcp = []
    for port, base in rmcp_bases():
        rmcp.extend((port, m) for m in mutants(base, rng, args.extra))

    write_pcap(os.path.join(args.outdir, "pet.pcap"), [(162, d) for d in pet])
    write_pcap(os.path.join(args.outdir, "rmcp.pcap"), rmcp)
    sample = random.Random(99)
    with open(os.path.join(args.outdir, "pet.hex"), "w") as f:
        for d in sample.sample(pet, min(400, len(pet))):
            f.write(d.hex() + "\n")
    for name, port in (("rmcp", 623), ("rsp", 664)):
        with open(os.path.join(args.outdir, name + ".hex"), "w") as f:
            chosen = [d for p, d in rmcp if p == port]
            for d in sample.sample(chosen, min(400, len(chosen))):
                f.write(d.hex() + "\n")
    if args.all_hex:
        with open(os.path.join(args.outdir, "pet_all.hex"), "w") as f:
            f.writelines(d.hex() + "\n" for d in pet)
        for name, port in (("rmcp", 623), ("rsp", 664)):
            with open(os.path.join(args.outdir, name + "_all.hex"), "w") as f:
                f.writelines(d.hex() + "\n" for p, d in rmcp if p == port)
    if args.seeds:
        for name, items in (("pet", pet), ("rmcp", [d for _, d in rmcp])):
            folder = os.path.join(args.outdir, "seeds", name)
            os.makedirs(folder, exist_ok=True)
            for i, d in enumerate(items[:: max(1, len(items) // 500)]):
                with open(os.path.join(folder, "%05d" % i), "wb") as f:
                    f.write(d)
        for name, items in (("capture", capture_seeds()), ("hextext", hextext_seeds()),
                            ("pet_analysis", pet_analysis_seeds()), ("script", script_seeds())):
            folder = os.path.join(args.outdir, "seeds", name)
            os.makedirs(folder, exist_ok=True)
            for i, d in enumerate(items):
                with open(os.path.join(folder, "%05d" % i), "wb") as f:
                    f.write(d)
    print("pet: %d datagrams, rmcp: %d datagrams" % (len(pet), len(rmcp)))


if __name__ == "__main__":
    main()
