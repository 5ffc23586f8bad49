#!/usr/bin/python3
"""A small host in Python: shows a text on a sign and reads its statistics.

    show_text.py tcp://127.0.0.1:3001 "HELLO"
"""
import sys

import qordtcon


def main(address, text):
    host, _, port = address.removeprefix("tcp://").rpartition(":")
    how = qordtcon.classCONNECTION_METHOD()
    how.HowToConnect = qordtcon.NetworkConnect
    how.IPAddress = host
    how.CommPort = port
    how.dispID = 1
    with qordtcon.qorDispTrans() as sign:
        if not sign.OpenConnectionToDisplay(how):
            print(sign.LastErrorMessage, file=sys.stderr)
            return 3
        message = qordtcon.classTEXT_MSG()
        message.row = 1
        message.msg = text
        if not sign.SetDisplayTextMessage(message):
            print(sign.LastErrorMessage, file=sys.stderr)
            return 1
        stats = sign.GetDisplayStats()
        print(f"{stats.appl_name} {stats.serial_num}: {stats.pixels_wide}x{stats.pixels_high}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else "HELLO"))
