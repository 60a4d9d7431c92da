# The vexscope package against the simulated instrument: creation by ProgID,
# members by name, enumerations, out parameters, errors, arrays, tables,
# events, the GIL and the apartment rule.
import gc
import sys
import threading
import time

import numpy as np
import pytest

import vexscope
from vexscope import constants


def test_members_by_name_in_any_case(scope):
    scope.Timebase.HorizontalRange = 0.001
    assert scope.timebase.horizontalrange == pytest.approx(0.001)
    probe = scope.AnalogChannels.Item(2)
    probe.ProbeAttenuation = 10
    assert scope.AnalogChannels.Item(2).ProbeAttenuation == 10
    assert isinstance(scope.Utilities.InstrumentModel, str)
    channels = list(scope.AnalogChannels)
    assert len(channels) == 4 and channels[1] == probe
    assert {"Digitize", "GetWaveformData", "Utilities"} <= set(dir(scope))
    assert "GetWaveformData(Channel, Points) -> (Time, Data)" in scope.GetWaveformData.__doc__
    # Named and positional arguments mix; a None is an omitted optional one.
    assert scope.Measure.Frequency(Channel=1) == scope.Measure.Frequency(1)


def test_enumerations_by_name_and_as_int_enums(scope):
    slope = constants.VexR7100_TriggerSlope
    assert issubclass(slope, vexscope.enum.IntEnum)
    scope.Trigger.Slope = constants.VexR7100_TriggerSlope_Negative
    assert scope.Trigger.Slope == slope.VexR7100_TriggerSlope_Negative
    assert constants.vexr7100_triggerslope_positive == slope.VexR7100_TriggerSlope_Positive
    with pytest.raises(AttributeError, match="VexR7100_TriggerSlope_Negative"):
        constants.VexR7100_TriggerSlope_Negativ


def test_out_parameters_come_after_the_result(scope):
    scope.Output(":BOGUS")
    number, description = scope.Utilities.QueryInstrumentError()
    assert number == -113 and "Undefined header" in description
    result, message = scope.Utilities.SelfTest()
    assert result == 0 and isinstance(message, str)


def test_errors_carry_status_and_description_and_usage_errors_name_the_nearest(scope):
    with pytest.raises(vexscope.AutomationError) as failure:
        scope.AnalogChannels.Item(5).Enabled
    error = failure.value
    assert isinstance(error, OSError)
    assert error.hresult == 0x80004005
    assert error.description.startswith("This method or an input value is not legal")
    assert error.helpcontext != 0 and error.source
    with pytest.raises(AttributeError, match="nearest: HorizontalRange"):
        scope.Timebase.HorizntalRange
    with pytest.raises(TypeError, match=r"takes 1 argument \(Channel\), 0 given"):
        scope.Measure.Frequency()
    with pytest.raises(TypeError, match="is not a number"):
        scope.Timebase.HorizontalRange = "wide"
    with pytest.raises(AttributeError, match="read-only"):
        scope.ConnectionName = "x"
    with pytest.raises(AttributeError, match="it is a method"):
        scope.Utilities.Options = 1
    with pytest.raises(vexscope.AutomationError) as failure:
        vexscope.Dispatch("No.SuchClass")
    assert failure.value.hresult == 0x800401F3


def test_waveform_arrays_are_the_safe_arrays_memory_and_free_with_the_last_reference(
        scope, long_record):
    gc.collect()
    before = vexscope._vexscope.live_arrays()
    seconds, volts = scope.GetWaveformData(1, 0)
    assert seconds.dtype == np.float64 and volts.dtype == np.float64
    assert volts.shape == (long_record,) and seconds.shape == (long_record,)
    assert volts.base.address == volts.ctypes.data
    assert seconds.base.address == seconds.ctypes.data
    assert vexscope._vexscope.live_arrays() == before + 2
    view = volts[10:20]
    del volts
    assert vexscope._vexscope.live_arrays() == before + 2  # the slice keeps it
    del view, seconds
    gc.collect()
    assert vexscope._vexscope.live_arrays() == before
    # Byte arrays come out as uint8.
    scope.Output("*IDN?")
    count, reply = scope.ReadBytes(200, bytes(200))
    assert reply.dtype == np.uint8 and bytes(reply[:count]).startswith(b"VEXAN")


def test_all_waveform_data_is_column_names_and_one_float_array(scope):
    scope.Output(":WAV:POIN 1000")
    scope.Digitize()
    table = scope.GetAllWaveformData(0)
    assert table.columns[0] == "Time" and table.columns[1] == "CHAN1"
    assert table.data.dtype == np.float64
    assert table.data.shape[1] == len(table.columns)
    seconds, volts = scope.GetWaveformData(1, 0)
    assert table.data.shape[0] == len(volts)
    np.testing.assert_allclose(table.data[:, 0], seconds)
    np.testing.assert_allclose(table.data[:, 1], volts)


def test_arrays_go_in_from_numpy_lists_and_bytes(scope):
    for data in (b"*CLS\n", np.frombuffer(b"*CLS\n", dtype=np.uint8), list(b"*CLS\n")):
        scope.WriteBytes(5, data)


def test_log_forwarding_reaches_a_python_handler():
    class Handler:
        def __init__(self):
            self.entries = []

        def ForwardWriteLog(self, source, logging, message):
            self.entries.append((source, logging, message))

    top = vexscope.DispatchWithEvents(vexscope.SERVER_PROGID, Handler)
    top.Utilities.LogInterface = True
    with pytest.raises(vexscope.AutomationError):
        top.AutoScale()  # not connected
    assert top.entries and "not currently connected" in top.entries[0][2]
    top.close_events()
    count = len(top.entries)
    with pytest.raises(vexscope.AutomationError):
        top.AutoScale()
    assert len(top.entries) == count


def test_other_threads_run_during_a_long_transfer(scope, long_record):
    # With a switch interval this long, another Python thread runs during a
    # call only if the call lets go of the GIL.
    in_call = False
    progress = 0
    stop = False

    def worker():
        nonlocal progress
        while not stop:
            if in_call:
                progress += 1
            time.sleep(0.0002)

    interval = sys.getswitchinterval()
    sys.setswitchinterval(100)
    thread = threading.Thread(target=worker)
    thread.start()
    try:
        for _ in range(20):
            in_call = True
            scope.GetWaveformData(1, 0)
            in_call = False
            if progress:
                break
    finally:
        stop = True
        sys.setswitchinterval(interval)
        thread.join()
    assert progress > 0


def test_a_call_from_another_thread_is_refused(scope):
    caught = []

    def other():
        try:
            scope.Utilities.InstrumentModel
        except vexscope.AutomationError as error:
            caught.append(error)

    thread = threading.Thread(target=other)
    thread.start()
    thread.join()
    assert caught and caught[0].hresult == vexscope.RPC_E_WRONG_THREAD
    assert isinstance(scope.Utilities.InstrumentModel, str)  # its own thread still may


def test_len_is_the_count_and_with_closes_the_connection():
    with vexscope.connect("GPIB0::7::INSTR") as scope:
        assert len(scope.AnalogChannels) == scope.AnalogChannels.Count == 4
        assert scope.Utilities.InstrumentModel
        with pytest.raises(TypeError, match="has no len"):
            len(scope.Utilities)
        assert scope.Utilities  # true without a Count
    # Closed on the way out: a call that needs the instrument now fails.
    with pytest.raises(vexscope.AutomationError):
        scope.Digitize()


def test_an_interpreter_without_numpy_is_told_which_one_it_is():
    import subprocess
    run = subprocess.run(
        [sys.executable, "-c", "import sys; sys.modules['numpy'] = None; import vexscope"],
        capture_output=True, text=True)
    assert run.returncode != 0
    assert "vexscope needs numpy" in run.stderr
    assert sys.executable in run.stderr
