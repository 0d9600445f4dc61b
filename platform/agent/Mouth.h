#pragma once

namespace cw::agent {

/// The mouth shapes a character's frames can overlay while it speaks; a character file stores one overlay
/// image per shape, in this order.
enum class Mouth { Closed, Wide1, Wide2, Wide3, Wide4, Medium, Narrow };

} // namespace cw::agent
