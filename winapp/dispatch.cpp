#include "dispatch.h"

namespace winapp {

DispatchOutcome CallMethod(IDispatch* object, DISPID id, std::vector<Variant> args, WORD flags) {
  DispatchOutcome out;
  if (!object) {
    out.hr = E_POINTER;
    return out;
  }
  // Invoke takes the arguments last first; they stay owned by `args`.
  std::vector<VARIANT> reversed;
  for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(*it->get());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  EXCEPINFO exception{};
  UINT argError = 0;
  out.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, out.result.put(), &exception, &argError);
  if (out.hr == DISP_E_EXCEPTION && exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
  Bstr source(exception.bstrSource), description(exception.bstrDescription), help(exception.bstrHelpFile);
  out.scode = exception.scode;
  if (description) out.description.assign(description.get(), SysStringLen(description.get()));
  return out;
}

}  // namespace winapp
