// Everything public of qordtcon: the control, the payload classes, the routine and
// engine classes and the module routines.
#pragma once

#include "qordtcon/link/channels.hpp"
#include "qordtcon/link/connection_method.hpp"
#include "qordtcon/link/log.hpp"
#include "qordtcon/link/output_routines.hpp"
#include "qordtcon/link/settings.hpp"
#include "qordtcon/link/settings_object.hpp"
#include "qordtcon/payloads/datetime.hpp"
#include "qordtcon/payloads/diag.hpp"
#include "qordtcon/payloads/directory.hpp"
#include "qordtcon/payloads/fields.hpp"
#include "qordtcon/payloads/messages.hpp"
#include "qordtcon/payloads/play_order.hpp"
#include "qordtcon/payloads/stats.hpp"
#include "qordtcon/payloads/variables.hpp"
#include "qordtcon/protocol/frame.hpp"
#include "qordtcon/protocol/trans_routines.hpp"
#include "qordtcon/protocol/trans_vars.hpp"
