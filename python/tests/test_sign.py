"""The control from Python against the signsim program over loopback: a session of every
command group, the sign's refusals, files both ways, aborts from another thread, handlers
that raise, and a serial port written in Python."""
import os
import select
import threading
import time
import tty

import pytest
import qordtcon as q


def clock(sign):
    assert sign.SetDisplayTime(q.classDIAG_STIME(hour=23, min=31, sec=5, mday=7, mon=12, year=26, wday=1))
    t = sign.GetDisplayTime()
    assert (t.hour, t.min, t.mday, t.mon, t.year, t.wday) == (23, 31, 7, 12, 26, 1)


def text(sign):
    assert sign.SetDisplayTextMessage(q.classTEXT_MSG(row=1, msg="HELLO"))
    assert sign.SetDisplayScrollSpeed(q.classTEXT_SCRSPEED(speed=3)) and sign.ClearDisplay()
    assert sign.GetDisplayStats().scrollspeed == 3


def messages(sign):
    assert sign.SetDefaultMessageOnDisplay(q.classDEFMSG_MSG(msg_num=1, msg="WELCOME"))
    assert sign.SetDisplayScheduledMessageOnDisplay(q.classSCHMSG_MSG(msg_num=2, start_hr=8, stop_hr=9,
                                                                      month=12, mday=7, year=26, msg="SALE"))
    assert sign.GetDisplayStats().default_loaded == 1


def play_order(sign):
    order = q.classPLAY_ORDER()
    order.num_entries(2)
    for i, (name, delay) in enumerate([("INTRO.QFX", 5), ("LOGO.QFX", 10)], 1):
        order.FileName(i, name)
        order.delay(i, delay)
    assert sign.TransmitDisplayPlayOrder(order) and sign.RestartPlayOnDisplay(q.classPLAY_RESTART(loopctr=1))
    back = sign.GetDisplayPlayOrder()
    assert [(back.FileName(i), back.delay(i)) for i in (1, 2)] == [("INTRO.QFX", 5), ("LOGO.QFX", 10)]
    assert sign.PollPlayOnDisplay().playing == 1


def variables(sign):
    assert sign.SetDisplayVariable(q.classVARIABLE_WRITE(variable_num=3, text_variable="ÉTÉ ½"))
    assert sign.GetDisplayVariable(q.classVARIABLE_READ_Req(variable_num=3)).text_variable == "ÉTÉ ½"
    assert sign.SetDisplayCell(q.classCELL_WRITE(cell_num=2, cell_variable="42"))
    assert sign.GetDisplayCell(q.classCELL_READ_Req(cell_num=2)).cell_variable == "42"
    assert sign.DefineDisplayCounter(q.classCOUNTER_DEFINE(counter_num=4, start_value=70000, stop_value=-5))
    c = sign.GetDisplayCounter(q.classCOUNTER_READ_Req(counter_num=4))
    assert (c.start_value, c.stop_value, c.current_value) == (70000, -5, 70000)


def identity(sign):
    assert sign.SetDisplayName("lobby") == (True, "LOBBY")
    assert sign.GetDisplayName() == "LOBBY".ljust(32, "\0")
    stats = sign.GetDisplayStats()
    assert stats.appl_name == "SIGNSIM" and len(stats.cur_datetime) == 6
    assert "appl_name='SIGNSIM'" in repr(stats)


@pytest.mark.parametrize("session", [clock, text, messages, play_order, variables, identity])
def test_a_session_of_every_group(connect, session):
    session(connect())


def test_events_arrive_as_python_calls(connect, settings):
    (settings / "Lumarco3.ini").write_text("[Settings]\nMessageResponseTime=400\nDebugMode=ON1\n")
    sign, seen, log = connect(), [], []
    sign.OnPacketSent = lambda tn, retry: seen.append(("sent", retry))
    sign.OnMessage = seen.append
    sign.OnLog = lambda level, line: log.append((level, line[:9]))
    sign.TransmitDisplayPlayOrder(q.classPLAY_ORDER())
    sign.OnLog = None
    sign.GetDisplayPlayOrder()
    assert seen == [("sent", 0), ("sent", 0), "Receiving Entry 1 of the PlayOrder"]
    assert log[0] == (1, "Data Out:") and {level for level, _ in log} == {1}


@pytest.mark.parametrize("fault, call, expected", [
    ("error=3:always", lambda s: s.SetDisplayTextMessage(q.classTEXT_MSG(row=1, msg="X")),
     "Display Reported Error [F1]- [3]-Error Writing to Memory or Memory Full for last CMD:[1] FNC:[0]"),
    ("none", lambda s: not s.GetDisplayDirInfo("NOFILE.BMP").CMDFailed,
     "Display Reported Error [F1]- [F9]-File Not Found for last CMD:[8] FNC:[3]"),
])
def test_refusals_leave_their_text(connect, fault, call, expected):
    sign = connect(*(["--fault", fault] if fault != "none" else []))
    assert not call(sign)
    assert sign.LastErrorMessage == expected


@pytest.mark.parametrize("bAssync", [False, True])
def test_a_file_goes_and_comes_back(connect, tmp_path, bAssync):
    data = bytes(range(256)) * 9 + bytes(196)
    (tmp_path / "data.bin").write_bytes(data)
    sign, progress = connect(), []
    sign.OnFileTransferStatus = lambda *p: progress.append(p)
    assert sign.TransferFileToDisplay(tmp_path / "data.bin", q.DateTime(2026, 12, 7, 10, 20, 30), bAssync, "DATA.BIN")
    assert progress == [(1, 3, 1000, 2500), (2, 3, 2000, 2500), (3, 3, 2500, 2500)]
    entry = sign.GetDisplayDirInfo("data.bin")
    assert (entry.fname, entry.size, entry.hour, entry.min, entry.mday, entry.mon) == ("DATA.BIN", 2500, 10, 20, 7, 12)
    assert sign.GetAllDisplayDirInfo().fname(1) == "DATA.BIN"
    assert sign.GetFileFromSignByFileName("DATA.BIN", str(tmp_path / "back.bin"))
    assert (tmp_path / "back.bin").read_bytes() == data


def test_user_abort_from_another_thread_ends_a_call_to_a_silent_sign(connect):
    sign = connect("--fault", "silent:always")
    sign.TransmitTimeOut = 10000  # four tries would take 40 s
    threading.Timer(0.3, sign.UserAbort).start()
    start = time.monotonic()
    assert not sign.SetDisplayTextMessage(q.classTEXT_MSG(row=1, msg="X"))
    assert time.monotonic() - start < 3 and sign.LastErrorMessage == "User Canceled"


def test_a_handler_that_raises_surfaces_after_the_call(connect):
    sign = connect()
    sign.OnPacketSent = lambda tn, retry: 1 / 0
    with pytest.raises(ZeroDivisionError):
        sign.SetDisplayVariable(q.classVARIABLE_WRITE(variable_num=1, text_variable="RAN ON"))
    sign.OnPacketSent = None
    assert sign.GetDisplayVariable(q.classVARIABLE_READ_Req(variable_num=1)).text_variable == "RAN ON"

    silent = connect("--fault", "silent:always")
    silent.TransmitTimeOut = 10000
    start = time.monotonic()

    def pump():  # Ctrl-C during the wait
        if not fired and time.monotonic() - start > 0.3:
            fired.append(True)
            raise KeyboardInterrupt
    fired = []
    silent.MessagePump = pump
    with pytest.raises(KeyboardInterrupt):
        silent.GetDisplayTime()
    assert time.monotonic() - start < 3 and silent.LastErrorMessage == "User Canceled"


def test_the_context_manager_closes_the_connection(connect):
    with connect() as sign:
        assert sign.ClearDisplay()
    statuses = []
    sign.OnStatus = statuses.append
    assert sign.ClearDisplay() and statuses == ["Trying to reconnect..."]


class PtyPort(q.SerialChannel):
    """The serial port as a Python host writes one: signsim's pseudo-terminal, read with select."""
    fd, wake, got, sent = None, os.pipe(), b"", b""

    def CommPort(self, path): self.path = path
    def Settings(self, settings): pass
    def PhoneNumber(self, number): pass
    def PortKind(self, kind): pass
    def Timeout(self, ms): pass
    def Open(self): self.fd = os.open(self.path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK); tty.setraw(self.fd)
    def Close(self): os.close(self.fd); self.fd = None
    def IsOpen(self): return self.fd is not None
    def Busy(self): return False
    def DialStatus(self): return ""
    def InputLen(self, count): self.count = count
    def OutputLen(self, count): pass
    def Output(self, data): self.sent += data; os.write(self.fd, data)
    def Interrupt(self): os.write(self.wake[1], b"!")

    def InCount(self):
        try:
            self.got += os.read(self.fd, 4096)
        except BlockingIOError:
            pass
        return len(self.got)

    def Input(self):
        n = self.count or self.InCount()
        data, self.got = self.got[:n], self.got[n:]
        return data

    def Wait(self, seconds):
        if self.wake[0] in select.select([self.wake[0]] + [self.fd] * self.IsOpen(), [], [], seconds)[0]:
            os.read(self.wake[0], 64)


def test_a_serial_port_written_in_python_carries_the_frames(signsim, tmp_path):
    signsim("--pty", str(tmp_path / "sign.tty"), lines=2)
    sign, port = q.qorDispTrans(), PtyPort()
    sign.DebugSax(port)
    how = q.classCONNECTION_METHOD(HowToConnect=q.DirectConnect, CommPort=str(tmp_path / "sign.tty"),
                                   BaudRate="9600", dispID=1)
    assert sign.OpenConnectionToDisplay(how), sign.LastErrorMessage
    assert sign.GetDisplayTime().mon > 0 and port.sent.startswith(b"\x10\x02\x01\x00\x00")
