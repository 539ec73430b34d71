#!/usr/bin/env python3
"""velquor-check against tshark -V on the same capture files.

Builds two captures in a temporary directory: COUNT PET traps (UDP to port
162; each alert sent three times, so the sequence analysis sees its
retransmissions) and COUNT RMCP messages (a 28-byte Presence Pong from port
623). Then runs, in turn and REPEAT times each, `velquor-check --pet`,
`velquor-check --rmcp` and `tshark -V` on both files with the output thrown
away, and prints the median wall time, the ratio and the peak memory (max RSS)
of every program.

    bench/check_speed.py [--check BINARY] [--count N] [--repeat R]

Build velquor-check in Release first (cmake -DCMAKE_BUILD_TYPE=Release).
Standard library only.
"""
import argparse
import os
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time

TARGET_RATIO = 7.0
TARGET_RSS_MB = 50.0


def tlv(tag, contents):
    return bytes([tag, len(contents)]) + contents


def trap(sequence):
    # The PET data of the test builder: a processor thermal trip, entity 7.
    pet = bytes.fromhex("0102030405060708090a0b0c0d0e0f10") + sequence.to_bytes(2, "big") + bytes.fromhex(
        "00010203 0000 68 68 10 01 02 07 01 a1a2a3a4a5a6a7a8 19 00000c6f 0102 c1")
    binding = tlv(0x30, tlv(0x06, bytes.fromhex("2b06010401986f010101")) + tlv(0x04, pet))
    pdu = (tlv(0x06, bytes.fromhex("2b06010401986f0101")) + tlv(0x40, bytes.fromhex("c0a80001"))
           + tlv(0x02, b"\x06") + tlv(0x02, bytes.fromhex("00076f01")) + tlv(0x43, bytes.fromhex("0000012c"))
           + tlv(0x30, binding))
    return tlv(0x30, tlv(0x02, b"\x00") + tlv(0x04, b"public") + tlv(0xA4, pdu))


PRESENCE_PONG = bytes.fromhex("06 00 ff 06 000011be 40 07 00 10 000011be 00000000 81 00 000000000000")


def write_pcap(path, datagrams):
    """datagrams: (source port, destination port, microseconds, payload)."""
    with open(path, "wb") as f:
        f.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 1))
        for sport, dport, micros, payload in datagrams:
            udp = struct.pack(">HHHH", sport, dport, 8 + len(payload), 0) + payload
            ip = struct.pack(">BBHHHBBH4s4s", 0x45, 0, 20 + len(udp), 0, 0, 64, 17, 0, bytes([10, 0, 0, 2]),
                             bytes([10, 0, 0, 1]))
            frame = bytes.fromhex("001122334455 66778899aabb 0800") + ip + udp
            f.write(struct.pack("<IIII", 1700000000 + micros // 1000000, micros % 1000000, len(frame), len(frame)))
            f.write(frame)


def build_captures(folder, count):
    # Generators: this process stays small, since a child's max RSS also
    # counts what it shared with its parent before exec.
    pet = ((1024, 162, i * 1000, trap((i // 3) % 65535 + 1)) for i in range(count))  # each alert thrice
    rmcp = ((623, 40000, i * 1000, PRESENCE_PONG) for i in range(count))
    paths = os.path.join(folder, "pet.pcap"), os.path.join(folder, "rmcp.pcap")
    write_pcap(paths[0], pet)
    write_pcap(paths[1], rmcp)
    return paths


def run_once(argv):
    """Wall seconds, max RSS in MB and exit status of one run, output discarded."""
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        process = subprocess.Popen(argv, stdout=null, stderr=null)
        _, status, usage = os.wait4(process.pid, 0)
        elapsed = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    return elapsed, usage.ru_maxrss / 1024.0, process.returncode


def measure(argv, repeat):
    runs = [run_once(argv) for _ in range(repeat)]
    times = [r[0] for r in runs]
    return {
        "median": statistics.median(times),
        "min": min(times),
        "max": max(times),
        "rss": max(r[1] for r in runs),
        "exit": runs[-1][2],
    }


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--check", default=os.path.join(here, "..", "build", "tools", "velquor-check", "velquor-check"),
                        help="velquor-check binary (default: build/tools/velquor-check/velquor-check)")
    parser.add_argument("--tshark", default=shutil.which("tshark"), help="tshark binary")
    parser.add_argument("--count", type=int, default=100000, help="datagrams per capture (default 100000)")
    parser.add_argument("--repeat", type=int, default=5, help="runs of each program (default 5)")
    args = parser.parse_args()
    if not os.access(args.check, os.X_OK):
        sys.exit("velquor-check not found at %s (--check)" % args.check)
    if not args.tshark:
        sys.exit("tshark not found (--tshark)")

    with tempfile.TemporaryDirectory() as folder:
        pet, rmcp = build_captures(folder, args.count)
        # -d: the RMCP dissector on port 623 whatever the local preferences say.
        tshark = [args.tshark, "-n", "-V", "-d", "udp.port==623,rmcp", "-r"]
        rows = []
        for name, capture in (("pet", pet), ("rmcp", rmcp)):
            ours = measure([args.check, "--" + name, capture], args.repeat)
            theirs = measure(tshark + [capture], args.repeat)
            rows.append((name, ours, theirs))

    print("%d datagrams per capture, %d runs each, median wall time (min-max)" % (args.count, args.repeat))
    ok = True
    for name, ours, theirs in rows:
        ratio = theirs["median"] / ours["median"]
        print("--%-5s velquor-check %6.3f s (%.3f-%.3f) %6.1f MB exit %d | tshark -V %6.3f s (%.3f-%.3f) %6.1f MB"
              " | %5.1fx faster" % (name, ours["median"], ours["min"], ours["max"], ours["rss"], ours["exit"],
                                    theirs["median"], theirs["min"], theirs["max"], theirs["rss"], ratio))
        ok = ok and ratio >= TARGET_RATIO and ours["rss"] <= TARGET_RSS_MB
    print("target: at least %.0fx faster than tshark -V within %.0f MB: %s" % (TARGET_RATIO, TARGET_RSS_MB,
                                                                               "met" if ok else "NOT met"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
