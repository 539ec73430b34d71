#!/bin/sh
# Runs the example tests of the script project headless against velquor-sim:
# the simulators the project's Helpers class expects, then "velquor --run"
# for the RMCP, RSP and PET examples; fails unless every example passes and the
# report holds its test cases.
# usage: run_sim_examples.sh VELQUOR SIM PROJECT WORKDIR
set -u
velquor=$1 sim=$2 project=$3 work=$4
mkdir -p "$work" || exit 1
pids=
cleanup() { for p in $pids; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; }
trap cleanup EXIT INT TERM

start() { "$sim" "$@" >>"$work/sim.log" 2>&1 & pids="$pids $!"; }
start --port 47623
start --port 47624 --drop 1
start --port 47625 --drop 1000000
start --port 47626 --traps --trap-port 47162 --heartbeat-interval 300
# The keys the project's Helpers class configures on RMCP1.
start --port 47627 --rsp --rsp-port 47664 --administrator-key 0102030405060708 --generator-key a1a2a3a4
sleep 0.5
for p in $pids; do
  kill -0 "$p" 2>/dev/null || { echo "a simulator did not start (port in use?)"; cat "$work/sim.log"; exit 1; }
done

status=0
for suite in RMCP_Tests RSP_Tests PET_Tests; do
  "$velquor" --run "$suite" --project "$project" --report "$work/$suite.xml" --timeout 30 >"$work/$suite.out"
  rc=$?
  grep -E '^(===|---|    )' "$work/$suite.out" | grep -v -- '-----'
  if [ "$rc" -ne 0 ]; then echo "$suite: exit status $rc"; status=1; fi
  grep -q '<testcase' "$work/$suite.xml" || { echo "$suite: no test cases in the report"; status=1; }
done
exit $status
