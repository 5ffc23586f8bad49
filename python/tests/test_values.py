"""The module's edges without a sign: payload bytes, texts one byte per character, indexed
properties and the C++ exceptions as Python's."""
import pytest
import qordtcon as q


def multiwrite():
    m = q.classVARIABLE_MULTIWRITE()
    m.num_vars(1)
    m.X(1, 5)
    m.Length(1, 300)
    m.variable(1, "HÉ")
    return m


@pytest.mark.parametrize("payload, expected", [
    (q.classTEXT_MSG(row=1, col=2, msg="CAFÉ"), "01 02 00 43 41 46 c9 00"),
    (multiwrite(), "01 05 2c 01 48 c9"),
    (q.classDIAG_TEMP_CALIBRATION(calibration=-2), "fe ff"),
    (q.classGRAPHIC_DEL(FileName="logo.bmp"), "4c 4f 47 4f 2e 42 4d 50 00 00 00 00 00"),
])
def test_encoders_give_bytes(payload, expected):
    assert payload.GetStringFromData() == bytes.fromhex(expected)


def test_decoders_take_bytes():
    res = q.classVARIABLE_READ_Res()
    res.GetDataFromString(b"\x01\x00\x01\xc9T\x00tail")
    assert (res.color, res.inverse, res.text_variable) == (1, 1, "ÉT")
    count = q.classPLAY_COUNT_READ()
    assert count.GetDataFromString(bytes([0xFE, 0xFF])) == 0 and count.PlayCounter == 65534
    assert q.classDIAG_VERSION().SetDataByStr(b"\x10\x02\x00\x01\xf0\x00\x05\x00\x05\x07") == (True, b"\x07")
    stats = q.classDIAG_STATS()
    assert not stats.SetDataByStr(b"\x00" * 352) and stats.cur_datetime == b""
    record = b"SIGN\x00" + bytes(range(15, 255)) + bytes(199)
    assert stats.SetDataByStr(record)
    assert stats.appl_name == "SIGN" and stats.cur_datetime == record[20:26]


def test_indexed_properties_keep_their_overloads():
    order = q.classPLAY_ORDER(), q.classPLAY_ORDER_APP()
    for o in order:
        o.num_entries(1)
        o.FileName(1, "INTRO.QFX")
        o.delay(1, -7)
        o.num_entries(2)
        assert (o.num_entries(), o.FileName(1), o.delay(1), o.FileName(2)) == (2, "INTRO.QFX", -1, "")
    assert repr(order[0]) == ("classPLAY_ORDER(num_entries=2, rows=[(FileName='INTRO.QFX', delay=-1, "
                              "prefix=0, suffix=0), (FileName='', delay=0, prefix=0, suffix=0)])")
    page = q.classPAGE_MSG()
    page.XsYs(2, 1)
    page.text(2, 1, "B")
    page.XsYs(2, 2)
    assert (page.Xs(), page.Ys(), page.text(2, 1)) == (2, 2, "B")
    assert multiwrite().variable(1) == "HÉ"


@pytest.mark.parametrize("call, error, text", [
    (lambda: q.classTEXT_MSG(row=256).GetStringFromData(), ValueError, "0..255"),
    (lambda: q.classDIAG_TEST(row=-1).GetStringFromData(), OverflowError, ""),
    (lambda: q.classPLAY_ORDER().FileName(1), IndexError, "not yet dimensioned"),
    (lambda: q.classPLAY_COUNT_READ().GetDataFromString(b"\x01"), ValueError, ""),
    (lambda: q.qorDispTrans().GetDisplayPagedMessage(q.classPAGE_GET_Req()), RuntimeError,
     "Object variable not set"),
    (lambda: setattr(q.qorDispTrans(), "DestinationNode", 256), OverflowError, "256"),
    (lambda: q.classTEXT_MSG(msg="€"), UnicodeEncodeError, "latin-1"),
    (lambda: q.classTEXT_MSG(colour=1), AttributeError, "colour"),
])
def test_errors_arrive_as_python_exceptions(call, error, text):
    with pytest.raises(error, match=text):
        call()
