// The Python module `qordtcon`: the control, how to reach a sign, the date type and every
// public data class, under the names they have in C++.
#include <qordtcon/qordtcon.hpp>

#include "binding.hpp"

PYBIND11_MODULE(qordtcon, m) {
  namespace py = pybind11;
  using namespace qordtcon;
  using namespace qordtcon::python;

  m.doc() =
      "Drives programmable LED message signs: qorDispTrans is one sign's control, the classes "
      "named class* its payloads and results. Texts are str with one character per byte "
      "(Latin-1); payloads, file blocks and raw fields are bytes.";

  py::enum_<ConnectionType>(m, "ConnectionType", py::arithmetic())
      .value("DirectConnect", DirectConnect)
      .value("NetworkConnect", NetworkConnect)
      .value("ModemConnect", ModemConnect)
      .export_values();
  QORDTCON_DATA(classCONNECTION_METHOD, HowToConnect, CommPort, PhoneNumber, IPAddress, BaudRate,
                dispID);

  QORDTCON_DATA(DateTime, year, month, day, hour, minute, second)
      .def(py::init([](int year, int month, int day, int hour, int minute, int second) {
             return DateTime{year, month, day, hour, minute, second};
           }),
           py::arg("year"), py::arg("month"), py::arg("day"), py::arg("hour") = 0,
           py::arg("minute") = 0, py::arg("second") = 0)
      .cls()
      .def_static("now", &DateTime::now, "The machine's local time now.");

  BindPayloads(m);
  BindFiles(m);
  BindControl(m);
}
