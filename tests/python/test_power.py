import pytest

from ornix import _testing, core


@pytest.mark.parametrize("voltage, current, power", [(900000, 500, 450), (900000, 4800, 4320), (999999, 1, 0),
                                                     (4294967295, 4294967295, 18446744065119)])
def test_event_power_in_milliwatts(voltage, current, power):
    event = _testing.power_event(1, voltage, current)
    assert (event.ts, event.voltage, event.current, event.power) == (1, voltage, current, power)


def test_floor_and_events():
    assert _testing.power_meter([]).floor is None
    meter = _testing.power_meter([(1, 900000, 500), (2, 600000, 500)])
    assert meter.floor == 300.0
    first, second = meter.events(), meter.events()
    assert [(e.ts, e.power) for e in first] == [(e.ts, e.power) for e in second] == [(1, 450), (2, 300)]


def test_meter_keeps_the_newest_hundred_events():
    meter = _testing.power_meter([(ts, 1000000, 1) for ts in range(1, 102)])
    assert [event.ts for event in meter.events()] == list(range(2, 102))


def test_soc_driver_power_measurement_and_clock_mode():
    driver = _testing.soc_driver()
    assert not driver.power_measurement_enabled and driver.power_meter is None
    driver.power_measurement_enabled = True
    meter = driver.power_meter
    assert driver.power_measurement_enabled and meter is not None and meter.floor is None
    driver.power_measurement_enabled = False
    assert driver.power_meter is None and meter.events() == []  # a meter handed out stays usable

    driver.clock_mode = core.soc.Economy
    assert driver.clock_mode == core.soc.ClockMode.Economy
    driver.clock_mode = core.soc.LowPower
    assert driver.clock_mode == core.soc.LowPower
    with pytest.raises(TypeError):
        driver.clock_mode = 300000000
    assert driver.clock_mode == core.soc.LowPower
