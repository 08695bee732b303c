// SPDX-License-Identifier: GPL-3.0-or-later
// The report texts, exactly as the satellite's operators publish them, odd spacing included.
#include "field_table.h"

namespace beacon {

namespace {

constexpr FieldRow satelliteModeRows[] = {
    { u'2', u"Satellite Mode: Early Operations Mode" },
    { u'G', u"Satellite Mode: LEOP Idle Mode" },
    { u'4', u"Satellite Mode: LEOP Power Safe-hold Mode" },
    { u'C', u"Satellite Mode: Idle Mode" },
    { u'6', u"Satellite Mode: Ground Pass Mode" },
    { u'Q', u"Satellite Mode: Mission Mode" },
    { u'8', u"Satellite Mode: Power Safe-hold Mode" },
};

constexpr FieldRow batteryStateOfChargeRows[] = {
    { u'D', u"Battery State of Charge: < 25%" },
    { u'F', u"Battery State of Charge: 25% .. 40%" },
    { u'2', u"Battery State of Charge: 40% .. 50%" },
    { u'G', u"Battery State of Charge: 50% .. 55%" },
    { u'4', u"Battery State of Charge: 55% .. 60%" },
    { u'C', u"Battery State of Charge: 60% .. 65%" },
    { u'6', u"Battery State of Charge: 65% .. 70%" },
    { u'Q', u"Battery State of Charge: 70% .. 80%" },
    { u'8', u"Battery State of Charge: 80% .. 90%" },
    { u'Z', u"Battery State of Charge: > 90%" },
};

constexpr FieldRow batteryVoltageRows[] = {
    { u'D', u"Battery Voltage: < 5.0V" },
    { u'F', u"Battery Voltage: 5.0V .. 6.0V" },
    { u'2', u"Battery Voltage: 6.0V .. 6.5V" },
    { u'G', u"Battery Voltage: 6.5V .. 7.0V" },
    { u'4', u"Battery Voltage: 7.0V .. 7.4V" },
    { u'C', u"Battery Voltage: 7.4V .. 7.6V" },
    { u'6', u"Battery Voltage: 7.6V .. 7.8V" },
    { u'Q', u"Battery Voltage: 7.8V .. 8.0V" },
    { u'8', u"Battery Voltage: 8.0V .. 8.2V" },
    { u'Z', u"Battery Voltage: >8.2V" },
};

constexpr FieldRow sensorStatusRows[] = {
    { u'D', u"Sensor Status: GPS off | IMU A off | IMU B off" },
    { u'F', u"Sensor Status: GPS off | IMU A off | IMU B on" },
    { u'2', u"Sensor Status: GPS off | IMU A on | IMU B off" },
    { u'G', u"Sensor Status: GPS off | IMU A on | IMU B on" },
    { u'4', u"Sensor Status: GPS on | IMU A off | IMU B off" },
    { u'C', u"Sensor Status: GPS on | IMU A off | IMU B on" },
    { u'6', u"Sensor Status: GPS on | IMU A on | IMU B off" },
    { u'Q', u"Sensor Status: GPS on | IMU A on | IMU B on" },
};

constexpr FieldRow batteryTemperatureRows[] = {
    { u'D', u"Battery Temperature: < -20°C" },
    { u'F', u"Battery Temperature: -20°C .. -15°C" },
    { u'2', u"Battery Temperature: -15°C .. -10°C" },
    { u'G', u"Battery Temperature: -10°C .. -5°C" },
    { u'4', u"Battery Temperature: -5°C .. 0°C" },
    { u'C', u"Battery Temperature: 0°C .. 5°C" },
    { u'6', u"Battery Temperature: 5°C .. 10°C" },
    { u'Q', u"Battery Temperature: 10°C .. 15°C" },
    { u'8', u"Battery Temperature: 15°C .. 20°C" },
    { u'Z', u"Battery Temperature: > 20°C" },
};

constexpr FieldRow powerMcuTemperatureRows[] = {
    { u'D', u"Power MCU Temperature: < -20°C" },
    { u'F', u"Power MCU Temperature: -20°C .. -10°C" },
    { u'2', u"Power MCU Temperature: -10°C .. 0°C" },
    { u'G', u"Power MCU Temperature: 0°C .. 15°C" },
    { u'4', u"Power MCU Temperature: 15°C .. 30°C" },
    { u'C', u"Power MCU Temperature: 30°C .. 45°C" },
    { u'6', u"Power MCU Temperature: 45°C .. 60°C" },
    { u'Q', u"Power MCU Temperature: 60°C .. 75°C" },
    { u'8', u"Power MCU Temperature: 75°C .. 85°C" },
    { u'Z', u"Power MCU Temperature: > 85°C" },
};

constexpr FieldRow adcsMcuTemperatureRows[] = {
    { u'D', u"ADCS MCU Temperature: < -20°C" },
    { u'F', u"ADCS MCU Temperature: -20°C .. -10°C" },
    { u'2', u"ADCS MCU Temperature: -10°C .. 0°C" },
    { u'G', u"ADCS MCU Temperature: 0°C .. 15°C" },
    { u'4', u"ADCS MCU Temperature: 15°C .. 30°C" },
    { u'C', u"ADCS MCU Temperature: 30°C .. 45°C" },
    { u'6', u"ADCS MCU Temperature: 45°C .. 60°C" },
    { u'Q', u"ADCS MCU Temperature: 60°C .. 75°C" },
    { u'8', u"ADCS MCU Temperature: 75°C .. 85°C" },
    { u'Z', u"ADCS MCU Temperature: > 85°C" },
};

constexpr FieldRow solarPanel1TemperatureRows[] = {
    { u'D', u"Solar Panel 1 Temperature: < -30°C" },
    { u'F', u"Solar Panel 1 Temperature: -30°C .. -10°C" },
    { u'2', u"Solar Panel 1 Temperature: -10°C .. 10°C" },
    { u'G', u"Solar Panel 1 Temperature: 10°C .. 30°C" },
    { u'4', u"Solar Panel 1 Temperature: 30°C .. 50°C" },
    { u'C', u"Solar Panel 1 Temperature: 50°C .. 70°C" },
    { u'6', u"Solar Panel 1 Temperature: 70°C .. 90°C" },
    { u'Q', u"Solar Panel 1 Temperature: 90°C .. 110°C" },
    { u'8', u"Solar Panel 1 Temperature: 110°C .. 130°C" },
    { u'Z', u"Solar Panel 1 Temperature: > 130°C" },
};

constexpr FieldRow solarPanel2TemperatureRows[] = {
    { u'D', u"Solar Panel 2 Temperature: < -30°C" },
    { u'F', u"Solar Panel 2 Temperature: -30°C .. -10°C" },
    { u'2', u"Solar Panel 2 Temperature: -10°C .. 10°C" },
    { u'G', u"Solar Panel 2 Temperature: 10°C .. 30°C" },
    { u'4', u"Solar Panel 2 Temperature: 30°C .. 50°C" },
    { u'C', u"Solar Panel 2 Temperature: 50°C .. 70°C" },
    { u'6', u"Solar Panel 2 Temperature: 70°C .. 90°C" },
    { u'Q', u"Solar Panel 2 Temperature: 90°C .. 110°C" },
    { u'8', u"Solar Panel 2 Temperature: 110°C .. 130°C" },
    { u'Z', u"Solar Panel 2 Temperature: > 130°C" },
};

constexpr FieldRow solarPanel3TemperatureRows[] = {
    { u'D', u"Solar Panel 3 Temperature: < -30°C" },
    { u'F', u"Solar Panel 3 Temperature: -30°C .. -10°C" },
    { u'2', u"Solar Panel 3 Temperature: -10°C .. 10°C" },
    { u'G', u"Solar Panel 3 Temperature: 10°C .. 30°C" },
    { u'4', u"Solar Panel 3 Temperature: 30°C .. 50°C" },
    { u'C', u"Solar Panel 3 Temperature: 50°C .. 70°C" },
    { u'6', u"Solar Panel 3 Temperature: 70°C .. 90°C" },
    { u'Q', u"Solar Panel 3 Temperature: 90°C .. 110°C" },
    { u'8', u"Solar Panel 3 Temperature: 110°C .. 130°C" },
    { u'Z', u"Solar Panel 3 Temperature: > 130°C" },
};

constexpr FieldRow solarPanel4TemperatureRows[] = {
    { u'D', u"Solar Panel 4 Temperature: < -30°C" },
    { u'F', u"Solar Panel 4 Temperature: -30°C .. -10°C" },
    { u'2', u"Solar Panel 4 Temperature: -10°C .. 10°C" },
    { u'G', u"Solar Panel 4 Temperature: 10°C .. 30°C" },
    { u'4', u"Solar Panel 4 Temperature: 30°C .. 50°C" },
    { u'C', u"Solar Panel 4 Temperature: 50°C .. 70°C" },
    { u'6', u"Solar Panel 4 Temperature: 70°C .. 90°C" },
    { u'Q', u"Solar Panel 4 Temperature: 90°C .. 110°C" },
    { u'8', u"Solar Panel 4 Temperature: 110°C .. 130°C" },
    { u'Z', u"Solar Panel 4 Temperature: > 130°C" },
};

constexpr FieldRow solarPanel5TemperatureRows[] = {
    { u'D', u"Solar Panel 5 Temperature: < -30°C" },
    { u'F', u"Solar Panel 5 Temperature: -30°C .. -10°C" },
    { u'2', u"Solar Panel 5 Temperature: -10°C .. 10°C" },
    { u'G', u"Solar Panel 5 Temperature: 10°C .. 30°C" },
    { u'4', u"Solar Panel 5 Temperature: 30°C .. 50°C" },
    { u'C', u"Solar Panel 5 Temperature: 50°C .. 70°C" },
    { u'6', u"Solar Panel 5 Temperature: 70°C .. 90°C" },
    { u'Q', u"Solar Panel 5 Temperature: 90°C .. 110°C" },
    { u'8', u"Solar Panel 5 Temperature: 110°C .. 130°C" },
    { u'Z', u"Solar Panel 5 Temperature:  >130°C" },
};

constexpr FieldTable tables[] = {
    { 7, u"Satellite Mode", satelliteModeRows, u"Satellite Mode: unknown" },
    { 8, u"Battery State of Charge", batteryStateOfChargeRows, u"Battery State of Charge: unknown" },
    { 9, u"Battery Voltage", batteryVoltageRows, u"Battery Voltage: unknown" },
    { 10, u"Sensor Status", sensorStatusRows, u"Sensor Status: unknown" },
    { 11, u"Battery Temperature", batteryTemperatureRows, u"Battery Temperature: unknown" },
    { 12, u"Power MCU Temperature", powerMcuTemperatureRows, u"Power MCU Temperature: unknown" },
    { 13, u"ADCS MCU Temperature", adcsMcuTemperatureRows, u"ADCS MCU Temperature: unknown " },
    { 15, u"Solar Panel 1 Temperature", solarPanel1TemperatureRows, u"Solar Panel 1 Temperature: unknown " },
    { 16, u"Solar Panel 2 Temperature", solarPanel2TemperatureRows, u"Solar Panel 2 Temperature: unknown " },
    { 17, u"Solar Panel 3 Temperature", solarPanel3TemperatureRows, u"Solar Panel 3 Temperature: unknown " },
    { 18, u"Solar Panel 4 Temperature", solarPanel4TemperatureRows, u"Solar Panel 4 Temperature: unknown " },
    { 19, u"Solar Panel 5 Temperature", solarPanel5TemperatureRows, u"Solar Panel 5 Temperature: unknown " },
};

} // namespace

std::span<const FieldTable> fieldTables()
{
    return tables;
}

} // namespace beacon
