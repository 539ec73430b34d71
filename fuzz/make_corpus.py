#!/usr/bin/env python3
"""Generates datagram corpora for the fuzz targets and for output comparisons.

Every datagram is built here from the field layouts of PET traps and RMCP/ASF
messages, then mutated deterministically (fixed seed): each byte replaced by
boundary values, every truncation, random byte flips, insertions and
deletions.  Nothing is taken from elsewhere.

    make_corpus.py OUTDIR [--count N]

writes OUTDIR/pet.pcap (UDP to port 162), OUTDIR/rmcp.pcap (ports 623 and
664), and OUTDIR/pet.hex, OUTDIR/rmcp.hex, OUTDIR/rsp.hex (one datagram per
line, a sample for --hex runs).
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
    heartbeat[36] = 0x17  # entity: system chassis
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
                           (36, range(0, 0x40)), (37, (0, 1, 0x80)), (46 - 5, range(0, 256, 11))):
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("outdir")
    parser.add_argument("--extra", type=int, default=40, help="random mutants per base datagram")
    parser.add_argument("--all-hex", action="store_true", help="also every datagram as hex: OUTDIR/{pet,rmcp,rsp}_all.hex")
    parser.add_argument("--seeds", action="store_true", help="also one file per datagram under OUTDIR/seeds/{pet,rmcp}")
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
    print("pet: %d datagrams, rmcp: %d datagrams" % (len(pet), len(rmcp)))


if __name__ == "__main__":
    main()
