# The Calc macro in a headless LibreOffice with a fresh user profile in the
# build tree, against the simulator over loopback TCP: the macro fills a
# sheet, the sheet is saved and read back, and its numbers are those the
# binding returns for the same acquisition.
import os
import shutil
import subprocess
import time

import numpy as np
import pytest
import uno
from com.sun.star.beans import PropertyValue
from com.sun.star.connection import NoConnectException

import vexscope

WORK = os.environ["VEX_CALC_WORK"]
VEXSIM = os.environ["VEXSIM"]
MACRO = os.environ["VEX_CALC_MACRO"]


def prop(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p


@pytest.fixture
def simulator():
    sim = subprocess.Popen([VEXSIM, "--tcp", "127.0.0.1:0"], stdout=subprocess.PIPE, text=True)
    port = None
    for line in sim.stdout:
        if line.startswith("tcp "):
            port = int(line.split(":")[-1])
        if line.strip() == "ready":
            break
    yield f"TCPIP0::127.0.0.1::{port}::SOCKET"
    sim.terminate()
    sim.wait()


@pytest.fixture
def desktop():
    shutil.rmtree(WORK, ignore_errors=True)
    profile = os.path.join(WORK, "profile")
    options = ["soffice", f"-env:UserInstallation=file://{profile}", "--headless",
               "--invisible", "--norestore", "--nologo", "--nodefault", "--nolockcheck"]
    # A first start makes the profile (and would restart the office once).
    subprocess.run(options + ["--terminate_after_init"], timeout=120,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    scripts = os.path.join(profile, "user", "Scripts", "python")
    os.makedirs(scripts, exist_ok=True)
    shutil.copy(MACRO, scripts)  # installed for the user as the README says
    pipe = f"vexscope_calc_{os.getpid()}"
    office = subprocess.Popen(options + [f"--accept=pipe,name={pipe};urp;"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    deadline = time.monotonic() + 90
    while True:
        try:
            context = resolver.resolve(f"uno:pipe,name={pipe};urp;StarOffice.ComponentContext")
            break
        except NoConnectException:
            if time.monotonic() > deadline or office.poll() is not None:
                office.kill()
                pytest.fail("LibreOffice did not start")
            time.sleep(0.5)
    top = context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)
    yield top
    try:
        top.terminate()
    except Exception:
        pass  # the bridge goes away as the office ends
    try:
        office.wait(30)
    except subprocess.TimeoutExpired:
        office.kill()
        office.wait()


def test_the_macro_fills_a_sheet_with_the_bindings_values(simulator, desktop):
    # Two channels shown, so the sheet has a time column and two channels.
    scope = vexscope.connect(simulator)
    scope.AnalogChannels.Item(2).Enabled = True
    scope.Close()

    # A headless office opens documents hidden; the macro is given the document.
    doc = desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, (prop("Hidden", True),))
    doc.Sheets.getByIndex(0).getCellRangeByName("B1").String = simulator
    script = doc.getScriptProvider().getScript(
        "vnd.sun.star.script:vexscope_calc.py$capture_waveforms?language=Python&location=user")
    script.invoke((doc,), (), ())
    saved = uno.systemPathToFileUrl(os.path.join(WORK, "capture.ods"))
    doc.storeToURL(saved, (prop("FilterName", "calc8"),))
    doc.close(True)

    doc = desktop.loadComponentFromURL(saved, "_blank", 0, (prop("Hidden", True),))
    sheet = doc.Sheets.getByIndex(0)
    assert sheet.Charts.hasByName("Channels")

    # What the binding reads of the same acquisition (no new Digitize).
    scope = vexscope.connect(simulator)
    expected = scope.GetAllWaveformData(0)
    frequency = scope.Measure.Frequency(1)
    scope.Close()

    columns = len(expected.columns)
    rows = expected.data.shape[0]
    assert columns == 3
    block = sheet.getCellRangeByPosition(0, 2, columns - 1, 2 + rows).getDataArray()
    assert list(block[0]) == expected.columns
    np.testing.assert_allclose(np.array(block[1:], dtype=float), expected.data, rtol=1e-12)
    # The measurements beside the data: the first row is the frequency of CHAN1.
    assert sheet.getCellByPosition(columns + 1, 2).String == "Measurement"
    assert sheet.getCellByPosition(columns + 2, 2).String == "CHAN1"
    assert sheet.getCellByPosition(columns + 1, 3).String == "Frequency"
    assert sheet.getCellByPosition(columns + 2, 3).Value == pytest.approx(frequency)
    doc.close(True)
