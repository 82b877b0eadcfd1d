// The omtree._core extension module: the C++ half of the omtree Python
// package. The pure-Python modules of the package (omtree/__init__.py and
// its helpers) build the public interface on top of it.
//
// Errors become Python exceptions: bad input (omcrosstab::InputError,
// omdoc::LoadError) a ValueError with the command's message, a file that
// cannot be read or written an OSError, and a failed check of the library
// a RuntimeError instead of the abort that the default handler would make.
// An argument of a type the binding cannot take is a TypeError.
// The binding checks every precondition it knows of before calling in, so
// the last is a guard, not a way of reporting bad arguments.

#include <pybind11/pybind11.h>

#include <stdexcept>
#include <string>

#include "Binding.h"
#include "Crosstab.h"
#include "Document.h"

namespace {

namespace py = pybind11;

// A check of the library that failed.
class CheckFailure : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

[[noreturn]] void ThrowCheckFailure(const char* expression, const char* source, int line) {
  throw CheckFailure(OmAssertion::Format(expression, source, line));
}

void Translate(std::exception_ptr pending) {
  try {
    std::rethrow_exception(pending);
  } catch (const ombind::OsError& error) {
    py::object exception =
        error.error() == 0
            ? py::reinterpret_borrow<py::object>(PyExc_OSError)(error.what())
            : py::reinterpret_borrow<py::object>(PyExc_OSError)(error.error(), error.what());
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exception.ptr())), exception.ptr());
  } catch (const omcrosstab::InputError& error) {
    PyErr_SetString(PyExc_ValueError, error.what());
  } catch (const omdoc::LoadError& error) {
    PyErr_SetString(PyExc_ValueError, error.what());
  } catch (const py::cast_error& error) {
    PyErr_SetString(PyExc_TypeError, error.what());
  } catch (const CheckFailure& error) {
    PyErr_SetString(PyExc_RuntimeError, error.what());
  }
}

}  // namespace

PYBIND11_MODULE(_core, module) {
  module.doc() = "The C++ half of the omtree package; use the omtree module.";
  OmAssertion::SetHandler(&ThrowCheckFailure);
  py::register_exception_translator(&Translate);
  ombind::DefineDocument(module);
  ombind::DefineTable(module);
  ombind::DefineCrosstab(module);
}
