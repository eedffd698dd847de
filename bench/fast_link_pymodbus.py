#!/usr/bin/python3
"""Reads the station's readings registers from an instrument over a serial
device as fast as a pymodbus client does, and prints how many answers a
second came back.

    fast_link_pymodbus.py DEVICE BAUD PARITY(N|O|E) STOPBITS PROBES SECONDS

Prints one line: "polls_per_s=<float> answers=<int> failures=<int>".
"""
import sys
import time

try:
    from pymodbus.client import ModbusSerialClient
    from pymodbus.transaction import ModbusRtuFramer
except ImportError:
    sys.exit("pymodbus is missing: apt-get install python3-pymodbus (scripts/setup installs it)")


def main():
    device, baud, parity, stop_bits, probes, seconds = sys.argv[1:7]
    client = ModbusSerialClient(port=device, framer=ModbusRtuFramer, baudrate=int(baud), bytesize=8,
                                parity=parity, stopbits=int(stop_bits), timeout=1)
    if not client.connect():
        sys.exit("cannot open " + device)
    # The station's readings request: function 3, two registers a probe from 0.
    count = 2 * int(probes)
    answers = failures = 0
    # The first exchange settles the line; it is not counted.
    client.read_holding_registers(0, count, slave=1)
    start = time.monotonic()
    end = start + float(seconds)
    while time.monotonic() < end:
        reply = client.read_holding_registers(0, count, slave=1)
        if reply.isError() or len(getattr(reply, "registers", [])) != count:
            failures += 1
        else:
            answers += 1
    elapsed = time.monotonic() - start
    client.close()
    print(f"polls_per_s={answers / elapsed:.3f} answers={answers} failures={failures}")


if __name__ == "__main__":
    main()
