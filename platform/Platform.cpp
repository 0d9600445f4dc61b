// The platform layer library; the interfaces are header-only.
