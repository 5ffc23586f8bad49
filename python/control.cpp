// The control `qorDispTrans` as Python sees it. Every method that may talk to a sign runs
// with the GIL released, so that another Python thread can call UserAbort() meanwhile. The
// events and the message pump are Python callables, called with the GIL taken back; an
// exception one of them raises is kept and raised when the running call returns (the call
// itself runs on, unless the exception is a KeyboardInterrupt or SystemExit, which abort it).
#include <qordtcon/qordtcon.hpp>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "binding.hpp"

namespace qordtcon::python {

namespace {

// A serial port written in Python, handed to the control with DebugSax: the control's calls
// arrive on the Python object's methods of the same names. Wait receives the seconds left
// until its deadline; Input returns and Output receives bytes.
class HostPort : public SerialChannel {
 public:
  void CommPort(const std::string& port) override { Call<void>("CommPort", false, Text{port}); }
  void Settings(const std::string& settings) override {
    Call<void>("Settings", false, Text{settings});
  }
  void PhoneNumber(const std::string& number) override {
    Call<void>("PhoneNumber", false, Text{number});
  }
  void PortKind(int kind) override { Call<void>("PortKind", false, kind); }
  void Timeout(int milliseconds) override { Call<void>("Timeout", false, milliseconds); }
  void Open() override { Call<void>("Open", false); }
  void Close() override { Call<void>("Close", false); }
  bool IsOpen() const override { return Call<bool>("IsOpen", false); }
  bool Busy() const override { return Call<bool>("Busy", false); }
  bool Dialing() override { return Call<bool>("Dialing", true); }
  std::string DialStatus() const override { return Call<Text>("DialStatus", false).s; }
  void InputLen(int count) override { Call<void>("InputLen", false, count); }
  int InCount() override { return Call<int>("InCount", false); }
  std::string Input() override { return Call<Bytes>("Input", false).s; }
  void OutputLen(int count) override { Call<void>("OutputLen", false, count); }
  void Output(std::string_view data) override {
    Call<void>("Output", false, Bytes{std::string(data)});
  }
  int OutCount() override { return Call<int>("OutCount", true); }
  void ClearOutput() override { Call<void>("ClearOutput", true); }
  std::uint64_t DroppedBytes() const override { return Call<std::uint64_t>("DroppedBytes", true); }
  void Preset(int dispatchId, std::int32_t value) override {
    Call<void>("Preset", true, dispatchId, value);
  }
  void Wait(Clock::time_point until) override {
    const std::chrono::duration<double> left = until - Clock::now();
    Call<void>("Wait", false, std::max(0.0, left.count()));
  }
  void Interrupt() override { Call<void>("Interrupt", false); }

 private:
  // A method the Python class leaves out does what the C++ default does (nothing, false,
  // 0) where there is one; the others are required.
  template <class R, class... A>
  R Call(const char* name, bool optional, A&&... args) const {
    py::gil_scoped_acquire gil;
    const py::function method = py::get_override(static_cast<const SerialChannel*>(this), name);
    if (!method) {
      if (optional) return R();
      throw py::attribute_error(std::string("SerialChannel.") + name + " is not implemented");
    }
    py::object result = method(std::forward<A>(args)...);
    if constexpr (!std::is_void_v<R>) return result.cast<R>();
  }
};

// The control with what Python adds: the callables behind its events and pump, the
// exception a callable raised during a call, and how many calls are running.
class Sign : public qorDispTrans {
 public:
  Sign() {
    OnFirmwareStatus = Relay<const std::string&>(&Sign::onFirmwareStatus);
    OnPacketSent = Relay<std::int16_t, std::int16_t>(&Sign::onPacketSent);
    OnFileTransferStatus =
        Relay<std::int32_t, std::int32_t, std::int32_t, std::int32_t>(&Sign::onFileTransferStatus);
    OnStatus = Relay<const std::string&>(&Sign::onStatus);
    OnMessage = Relay<const std::string&>(&Sign::onMessage);
    OnLog = Relay<std::int16_t, const std::string&>(&Sign::onLog);
  }
  Sign(const Sign&) = delete;
  Sign& operator=(const Sign&) = delete;

  ~Sign() {
    OnFirmwareStatus = nullptr;
    OnPacketSent = nullptr;
    OnFileTransferStatus = nullptr;
    OnStatus = nullptr;
    OnMessage = nullptr;
    OnLog = nullptr;
    MessagePump = nullptr;
    if (port.is_none()) return;
    // The host's port must not outlive its Python object inside the control.
    try {
      CloseConnectionToDisplay();
      DebugSax(MakeSerialPort());
    } catch (py::error_already_set& e) {
      e.discard_as_unraisable("qordtcon.qorDispTrans closing its SerialChannel");
    }
  }

  // A handler's exception: the first of a call is raised when the call returns, later ones
  // (and any outside a call) go to sys.unraisablehook.
  void Keep(py::error_already_set& e) {
    if (calls == 0) return e.discard_as_unraisable("qordtcon.qorDispTrans event handler");
    if (!e.matches(PyExc_Exception)) UserAbort();  // KeyboardInterrupt, SystemExit: stop
    if (!pending) {
      pending = std::move(e);
    } else {
      e.discard_as_unraisable("qordtcon.qorDispTrans event handler");
    }
  }

  template <class... A>
  std::function<void(A...)> Relay(py::object Sign::*slot) {
    return [this, slot](A... args) {
      py::gil_scoped_acquire gil;
      const py::object handler = this->*slot;  // it may replace itself
      if (handler.is_none()) return;
      try {
        handler(As<Text, A>::out(args)...);
      } catch (py::error_already_set& e) {
        Keep(e);
      }
    };
  }

  py::object onFirmwareStatus = py::none();
  py::object onPacketSent = py::none();
  py::object onFileTransferStatus = py::none();
  py::object onStatus = py::none();
  py::object onMessage = py::none();
  py::object onLog = py::none();
  py::object pump = py::none();
  py::object port = py::none();  // the Python object behind DebugSax
  std::optional<py::error_already_set> pending;
  int calls = 0;  // counted with the GIL held
};

// A call to the sign: the GIL released while it runs, a handler's exception raised after it.
// A call a handler makes leaves the exceptions to the call around it.
struct SignCall {
  template <class F>
  static decltype(auto) Run(Sign& sign, F&& call) {
    struct Running {
      Sign& sign;
      explicit Running(Sign& s) : sign(s) { ++sign.calls; }
      ~Running() {
        // A C++ exception that ended the call wins over a handler's.
        if (--sign.calls == 0) sign.pending.reset();
      }
      void Raise() {
        if (sign.calls > 1 || !sign.pending) return;
        py::error_already_set e = std::move(*sign.pending);
        sign.pending.reset();
        throw e;
      }
    } running(sign);
    if constexpr (std::is_void_v<decltype(call())>) {
      {
        py::gil_scoped_release nogil;
        call();
      }
      running.Raise();
    } else {
      auto result = [&] {
        py::gil_scoped_release nogil;
        return call();
      }();
      running.Raise();
      return result;
    }
  }
};

template <class S = Text>
auto Talk(auto method) {
  return Method<S, Sign, SignCall>(method);
}

py::object Handler(py::object handler, const char* name) {
  if (!handler.is_none() && !PyCallable_Check(handler.ptr()))
    throw py::type_error(std::string(name) + " takes a callable or None");
  return handler;
}

template <py::object Sign::*slot>
void Event(py::class_<Sign>& cls, const char* name) {
  cls.def_property(
      name, [](const Sign& sign) { return sign.*slot; },
      [name](Sign& sign, py::object handler) { sign.*slot = Handler(handler, name); });
}

// A property of the control; Policy SignCall for a setter that may talk to the sign.
template <class Policy = Direct, class T>
void Property(py::class_<Sign>& cls, const char* name, T (qorDispTrans::*get)() const,
              void (qorDispTrans::*set)(T)) {
  cls.def_property(name, Method<Text, Sign>(get), Method<Text, Sign, Policy>(set));
}

// A method that changes the caller's text: Python gets (result, the text as changed).
auto ChangesText(bool (qorDispTrans::*method)(std::string&)) {
  return [method](Sign& sign, Text text) {
    const bool ok = SignCall::Run(sign, [&] { return (sign.*method)(text.s); });
    return py::make_tuple(ok, text);
  };
}

#define QORDTCON_TALK(C, name) .def(#name, Talk(&C::name))
#define QORDTCON_TALKS(...) QORDTCON_FOR_EACH(QORDTCON_TALK, qorDispTrans, __VA_ARGS__)

}  // namespace

void BindControl(py::module_& m) {
  py::class_<SerialChannel, HostPort, std::shared_ptr<SerialChannel>>(
      m, "SerialChannel",
      "Base of a serial port written in Python for qorDispTrans.DebugSax: override CommPort, "
      "Settings, PhoneNumber, PortKind, Timeout, Open, Close, IsOpen, Busy, DialStatus, "
      "InputLen, InCount, Input (bytes), OutputLen, Output (bytes), Wait (seconds left) and "
      "Interrupt; Dialing, OutCount, ClearOutput, DroppedBytes and Preset are optional.")
      .def(py::init<>())
      .def_readonly_static("kDirect", &SerialChannel::kDirect)
      .def_readonly_static("kModem", &SerialChannel::kModem);

  py::class_<Sign> cls(m, "qorDispTrans",
                       "One sign's control. Methods that talk to the sign release the GIL.");
  cls.def(py::init<>())
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__",
           [](Sign& sign, const py::args&) {
             SignCall::Run(sign, [&] { sign.CloseConnectionToDisplay(); });
             return false;
           })
      // Safe from another thread, a handler or the pump: they only raise flags.
      .def("UserAbort", &qorDispTrans::UserAbort)
      .def("CancelFirmwareTransmit", &qorDispTrans::CancelFirmwareTransmit)
      .def("GetDispLastResponseCodes",
           [](Sign& sign) {
             std::int16_t cmd = 0;
             std::int16_t fnc = 0;
             sign.GetDispLastResponseCodes(cmd, fnc);
             return py::make_tuple(cmd, fnc);
           })
      // The control keeps the Python object alive as long as it uses the port.
      .def(
          "DebugSax",
          [](Sign& sign, py::object port) {
            sign.DebugSax(port.cast<std::shared_ptr<SerialChannel>>());
            sign.port = port;
          },
          py::arg("sCon"))
      .def("SetSerialNumber", ChangesText(&qorDispTrans::SetSerialNumber))
      .def("SetDisplayName", ChangesText(&qorDispTrans::SetDisplayName))
      // Files on this computer are paths; names on the sign texts; frames bytes.
      .def(
          "TransferFileToDisplay",
          [](Sign& sign, LocalPath file, std::optional<DateTime> time, bool async, Text name) {
            return SignCall::Run(
                sign, [&] { return sign.TransferFileToDisplay(file.s, time, async, name.s); });
          },
          py::arg("sFileName"), py::arg("CustomFileTime") = py::none(), py::arg("bAssync") = false,
          py::arg("sSignFileName") = Text{})
      .def("TransferGraphicFileToDisplayByFileName",
           Talk<LocalPath>(&qorDispTrans::TransferGraphicFileToDisplayByFileName),
           py::arg("sFileName"), py::arg("CustomFileTime") = py::none())
      .def(
          "AddFileToBuffer",
          [](Sign& sign, LocalPath file, std::optional<DateTime> time) {
            return Bytes{SignCall::Run(sign, [&] { return sign.AddFileToBuffer(file.s, time); })};
          },
          py::arg("sFileName"), py::arg("CustomFileTime") = py::none())
      .def(
          "CreateBufferedFile",
          [](Sign& sign, LocalPath file, std::optional<DateTime> time) {
            return Bytes{
                SignCall::Run(sign, [&] { return sign.CreateBufferedFile(file.s, time); })};
          },
          py::arg("sFileName"), py::arg("CustomFileTime") = py::none())
      .def("TransferBufferedFile", Talk<Bytes>(&qorDispTrans::TransferBufferedFile),
           py::arg("sBuffer"), py::arg("iNumOfAckToWait"))
      .def(
          "GetFileFromSignByFileName",
          [](Sign& sign, Text name, LocalPath dest) {
            return SignCall::Run(sign,
                                 [&] { return sign.GetFileFromSignByFileName(name.s, dest.s); });
          },
          py::arg("sFileName"), py::arg("sDestFileName"))
      .def("TransmitFirmware", Talk<LocalPath>(&qorDispTrans::TransmitFirmware),
           py::arg("sFileName"))
      .def("TransmitQX4Firmware", Talk<LocalPath>(&qorDispTrans::TransmitQX4Firmware),
           py::arg("sFileName"), py::arg("sLoaderFile"))
      // Connection and diagnostics.
      QORDTCON_TALKS(OpenConnectionToDisplay, CloseConnectionToDisplay, WasLastTransmitionGood,
                     LookupDispCommandCode, LookupDispFunctionCode)
      // Composite operations.
      QORDTCON_TALKS(SetDisplayToCurrentTime, SetDisplayInfo, ClearDisplayAndPlayOrder)
      // Counters, cells, variables.
      QORDTCON_TALKS(GetDisplayCounter, DefineDisplayCounter, ControlDisplayCounter,
                     ClearDisplayCounters, GetDisplayCell, SetDisplayLocalCellWrite, SetDisplayCell,
                     SetDisplayCellAttributes, ClearDisplayCells, SetDisplayVariable,
                     SetDisplayMultipleVariable, SetDisplayMultipleVariablesAutoProcess,
                     SetDisplayVariableAttributes, GetDisplayVariable, ClearDisplayVariable)
      // Directory.
      QORDTCON_TALKS(ClearDisplayDirInfo, GetAllDisplayDirInfo, GetNextDisplayDirInfo,
                     GetFirstDisplayDirInfo, GetDisplayDirInfo)
      // Play order.
      QORDTCON_TALKS(TransmitDisplayPlayOrder, SetDisplayPlayOrder, AppendDisplayPlayOrder,
                     ClearDisplayPlayOrder, GetDisplayPlayOrder, RestartPlayOnDisplay,
                     ResumePlayOnDisplay, StopPlayOnDisplay, PausePlayOnDisplay,
                     StopPlayOnDisplayImmediately, PausePlayOnDisplayImmediately, PollPlayOnDisplay,
                     WritePlayOrderDescriptionOnDisplay, GetPlayOrderDescriptionOnDisplay,
                     SetAutoPlayOnDisplay, PlaySubPlayOrder, PlayCountClear, PlayCountRead)
      // Files and firmware.
      QORDTCON_TALKS(TransferGraphicFileToDisplay, ClearBuffer, BufferSize, DeleteFileFromDisplay,
                     ShowGraphicFileOnDisplay, ResetAndClearSign)
      // Paged, scheduled and default messages, fonts.
      QORDTCON_TALKS(SetDisplayPagedTextMessage, StartStopPagedTextMessageOnDisplay,
                     ShowPagedTextOnDisplay, GetDisplayPagedMessage,
                     SetDisplayScheduledMessageOnDisplay, SetScheduledMessageAutoManualOnDisplay,
                     SetScheduledMsgPrefixOnDisplay, SetScheduledMsgSuffixOnDisplay,
                     SetScheduleMsgFormatOnDisplay, ClearDisplayScheduledMessages,
                     SetScheduledMsgDelayOnDisplay, SetDefaultMessageOnDisplay,
                     SetDefaultMsgHorzVertOnDisplay, ClearDisplayFonts)
      // Text.
      QORDTCON_TALKS(SetDisplayTextMessage, SetDisplayScrollMessage, ClearDisplay,
                     SetDisplayScrollSpeed, SetDisplayTextTabs, SetDisplayPauseRate,
                     SetDisplayBlinkRate)
      // Clock, identity, configuration, statistics.
      QORDTCON_TALKS(ResetDisplay, PrepareForDownload, SetDisplayDefault, SetDisplayPixel_Control,
                     SetDisplayScrollOptions, ClearDisplay_RXTX_Counts, GetDisplayStats,
                     SetDisplayGroupMaster, SetDisplayHWTemp, SetDisplayDST, SetDisplaySoftSwitches,
                     SetDisplayTempAdjust, SetDisplayScan, SetDisplayTest, GetDisplayVersion,
                     SetDisplayGroups, SetDisplayBrightnessSchedule, SetDisplayBrightnessRange,
                     SetDisplayBrightness, GetDisplayType, GetDisplayTime, SetDisplayTime,
                     GetSerialNumber, GetDisplayName);

  Property(cls, "ShowTransmission", &qorDispTrans::ShowTransmission,
           &qorDispTrans::ShowTransmission);
  Property(cls, "RetryCount", &qorDispTrans::RetryCount, &qorDispTrans::RetryCount);
  Property(cls, "TransmitTimeOut", &qorDispTrans::TransmitTimeOut, &qorDispTrans::TransmitTimeOut);
  // Both may negotiate the block check with the sign.
  Property<SignCall>(cls, "DestinationNode", &qorDispTrans::DestinationNode,
                     &qorDispTrans::DestinationNode);
  Property<SignCall>(cls, "UseNewBccMethod", &qorDispTrans::UseNewBccMethod,
                     &qorDispTrans::UseNewBccMethod);
  cls.def_property_readonly("LastErrorMessage",
                            Method<Text, Sign>(&qorDispTrans::LastErrorMessage));
  cls.def_property_readonly("FileBlockSize", Method<Text, Sign>(&qorDispTrans::FileBlockSize));

  Event<&Sign::onFirmwareStatus>(cls, "OnFirmwareStatus");
  Event<&Sign::onPacketSent>(cls, "OnPacketSent");
  Event<&Sign::onFileTransferStatus>(cls, "OnFileTransferStatus");
  Event<&Sign::onStatus>(cls, "OnStatus");
  Event<&Sign::onMessage>(cls, "OnMessage");
  Event<&Sign::onLog>(cls, "OnLog");
  // The pump runs every 10 ms inside waits while set, so it is installed only when given;
  // the C++ member may not change under a running call.
  cls.def_property(
      "MessagePump", [](const Sign& sign) { return sign.pump; },
      [](Sign& sign, py::object pump) {
        if (sign.calls > 0)
          throw std::logic_error("MessagePump cannot change while a call to the sign runs");
        sign.pump = Handler(pump, "MessagePump");
        sign.MessagePump =
            sign.pump.is_none() ? std::function<void()>() : sign.Relay<>(&Sign::pump);
      });
}

}  // namespace qordtcon::python
