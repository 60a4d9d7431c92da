# The scope control hosted from Python: running mode (connects on first use),
# the JSON state loaded and saved (strings and file names in any bytes),
# SupportMessage events to a handler; a control made with plain Dispatch has
# no host and stays at design time.
import base64
import json
import os

import pytest

import vexscope


def test_hosted_control_connects_on_first_use_and_sends_support_messages(tmp_path):
    messages = []
    scope = vexscope.Control(address="GPIB0::7::INSTR")
    scope.on_support_message = messages.append
    scope.SupportMessageMode = 4
    assert not scope.InstrumentConnected
    scope.Digitize()
    assert scope.InstrumentConnected
    assert "VDS" in scope.AddressInstrumentID
    time, volts = scope.GetWaveformData(1, 100)
    assert len(time) == len(volts) > 0
    with pytest.raises(vexscope.AutomationError) as refused:
        scope.TXDelay = -1
    assert refused.value.hresult == 0x8004017C
    assert any("Let TXDelay" in m for m in messages)
    scope.SupportMessageMode = 0
    scope.CloseConnection()
    scope.close()


def test_state_is_saved_and_loaded_with_only_changed_keys(tmp_path):
    state = tmp_path / "scope.json"
    first = vexscope.Control(state=state)
    first.Address = "GPIB0::9::INSTR"
    first.ResetOnInitialize = True
    first.Setups.Add("Bench")
    first.save()
    values = json.loads(state.read_text())["values"]
    assert "ResetOnIntialize" in values and "TXDelay" not in values
    second = vexscope.Control(state=state)
    assert second.Address == "GPIB0::9::INSTR"
    assert second.ResetOnInitialize
    assert second.Setups.Count == 1


def test_a_malformed_setup_entry_is_a_warning_and_stays_in_the_file(tmp_path):
    state = tmp_path / "scope.json"
    text = lambda value: {"type": "VT_BSTR", "value": value}
    state.write_text(json.dumps({"format": "vexcom-property-bag", "version": 1, "values": {
        "SetupCount": {"type": "VT_I2", "value": 2},
        "SetupName1": text("Bench"), "SetupName2": text("x|y")}}))
    with pytest.warns(UserWarning, match=r"SetupName2.*not a setup name"):
        control = vexscope.Control(state=state)
    assert control.Setups.Count == 1
    control.FontSize = 12
    control.save()
    values = json.loads(state.read_text())["values"]
    assert values["SetupName2"]["value"] == "x|y"
    assert values["SetupCount"]["value"] == 1


def test_state_keeps_strings_and_file_names_that_are_not_utf8(tmp_path):
    folder = tmp_path / os.fsdecode(b"caf\xe9")
    folder.mkdir()
    state = folder / os.fsdecode(b"scope\xff.json")
    raw = b"Bench \xff\xfe caf\xc3\xa9"
    text = raw.decode("utf-8", "surrogateescape")
    first = vexscope.Control(state=state)
    first.FontName = text
    first.Setups.Add("Bench").Comments = text
    first.save()
    assert b"scope\xff.json" in os.listdir(os.fsencode(folder))
    values = json.loads(state.read_bytes())["values"]
    stored = {"bytes-base64": base64.b64encode(raw).decode()}
    assert values["FontName"]["value"] == stored
    assert values["SetupComments1"]["value"] == stored
    second = vexscope.Control(state=state)
    assert second.FontName == text
    # A file error names the file as it is spelt.
    with pytest.raises(vexscope.AutomationError) as refused:
        vexscope.Control(state=folder)
    assert str(folder) in refused.value.description


def test_control_without_a_host_stays_at_design_time():
    bare = vexscope.Dispatch(vexscope.CONTROL_PROGID)
    with pytest.raises(vexscope.AutomationError):
        bare.AutoScale()
    assert not bare.InstrumentConnected
