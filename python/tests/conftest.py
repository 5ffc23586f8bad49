"""The test peer: the signsim program on a free loopback port, and controls whose settings
(short time-outs) live in the test's own directory."""
import os
import subprocess

import pytest
import qordtcon as q


@pytest.fixture(autouse=True)
def settings(tmp_path, monkeypatch):
    (tmp_path / "Lumarco3.ini").write_text("[Settings]\nMessageResponseTime=400\nConnectTimeOut=3000\n")
    (tmp_path / "LumarcoLite.ini").write_text("[Settings]\nNoReplyPause=20\n")
    monkeypatch.setenv("QORDTCON_SETTINGS_DIR", str(tmp_path))
    monkeypatch.setenv("QORDTCON_LOG_DIR", str(tmp_path))
    return tmp_path


@pytest.fixture
def signsim():
    """start(*options) runs signsim and gives the lines it printed first, one per transport."""
    running = []

    def start(*options, lines=1):
        sim = subprocess.Popen([os.environ["QORDTCON_SIGNSIM"], "--tcp", "127.0.0.1:0", *options],
                               stdout=subprocess.PIPE, text=True)
        running.append(sim)
        return [sim.stdout.readline().strip() for _ in range(lines)]

    yield start
    for sim in running:
        sim.terminate()
        sim.wait(10)


@pytest.fixture
def connect(signsim):
    """connect(*signsim options) gives a control open on a fresh signsim, node 1."""
    def open_sign(*options):
        port = signsim(*options)[0].rsplit(":", 1)[1]
        sign = q.qorDispTrans()
        how = q.classCONNECTION_METHOD(HowToConnect=q.NetworkConnect, IPAddress="127.0.0.1",
                                       CommPort=port, dispID=1)
        assert sign.OpenConnectionToDisplay(how), sign.LastErrorMessage
        return sign
    return open_sign
