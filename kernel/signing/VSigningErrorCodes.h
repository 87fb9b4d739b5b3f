// The error codes of bundle signing (component "vkit"); file-system failures are the file errors.
#pragma once

#include "errors/VErrorCodes.h"

namespace vkit {

/// A private key file does not hold a private key of this format ("{path}" and the reason).
constexpr VError VE_SIGNING_BAD_KEY_FILE = MakeVError(kComponentVkit, 700);
/// A public key text is not the base64 form of an Ed25519 public key.
constexpr VError VE_SIGNING_BAD_PUBLIC_KEY = MakeVError(kComponentVkit, 701);
/// A bundle to sign holds an item that a manifest cannot list (a FIFO, a socket or a device).
constexpr VError VE_SIGNING_UNSUPPORTED_ITEM = MakeVError(kComponentVkit, 702);
/// A bundle to sign is too large for a manifest (too many items, a path or a file too long).
constexpr VError VE_SIGNING_BUNDLE_TOO_LARGE = MakeVError(kComponentVkit, 703);

} // namespace vkit
