// Anchor for the recording fakes; the fakes themselves are header-only.
