#!/usr/bin/python3
"""The example host in Python: shows a text on a sign and reads its statistics, as
examples/host does in C++.

    host.py tcp://HOST[:PORT] [TEXT]
"""
import sys

import qordtcon


def main(argv):
    if len(argv) not in (2, 3) or not argv[1].startswith("tcp://"):
        print("usage: host.py tcp://HOST[:PORT] [TEXT]", file=sys.stderr)
        return 2
    host, _, port = argv[1].removeprefix("tcp://").partition(":")
    how = qordtcon.classCONNECTION_METHOD(HowToConnect=qordtcon.NetworkConnect,
                                          IPAddress=host, CommPort=port or "3001", dispID=1)
    with qordtcon.qorDispTrans() as sign:
        if not sign.OpenConnectionToDisplay(how):
            print(f"host: cannot open {argv[1]}: {sign.LastErrorMessage}", file=sys.stderr)
            return 3
        message = argv[2] if len(argv) == 3 else "HELLO FROM HOST"
        if not sign.SetDisplayTextMessage(qordtcon.classTEXT_MSG(row=1, col=1, msg=message)):
            print(f"host: show text: {sign.LastErrorMessage}", file=sys.stderr)
            return 1
        # A failed read returns an unfilled record; the error text and the reply decide.
        stats = sign.GetDisplayStats()
        if sign.LastErrorMessage or not sign.WasLastTransmitionGood():
            print(f"host: read statistics: {sign.LastErrorMessage}", file=sys.stderr)
            return 1
        print(f"appl_name: {stats.appl_name}\nserial_num: {stats.serial_num}\n"
              f"node_address: {stats.node_address}\n"
              f"pixels: {stats.pixels_wide}x{stats.pixels_high}\nshown: {message}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
