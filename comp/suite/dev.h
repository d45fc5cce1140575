// Device database library of the suite (stand-in): a device and its basic
// information.
#pragma once

#include <optional>

// A device of the device database.
enum DEV_DEVICE_ENUM : int
{
    DEV_DEVICE_INVALID = 0,
};

class DEV_BASIC_INFO
{
public:
    explicit DEV_BASIC_INFO(DEV_DEVICE_ENUM device_enum) : m_device_enum(device_enum) {}
    DEV_DEVICE_ENUM get_device_enum() const { return m_device_enum; }

private:
    DEV_DEVICE_ENUM m_device_enum;
};

class DEV_DEVICE
{
public:
    DEV_DEVICE() = default;
    explicit DEV_DEVICE(const DEV_BASIC_INFO& basic_info) : m_basic_info(basic_info) {}

    // Null while the device has no basic information.
    const DEV_BASIC_INFO* get_basic_info() const { return m_basic_info ? &*m_basic_info : nullptr; }

private:
    std::optional<DEV_BASIC_INFO> m_basic_info;
};
