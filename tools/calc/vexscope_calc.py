# A LibreOffice Calc macro (Python-UNO) that fills the active sheet with
# waveforms from the oscilloscope:
#   - cell B1 holds the instrument's address (empty: $VEXSCOPE_ADDRESS, else
#     GPIB0::7::INSTR);
#   - the macro digitizes, reads every shown channel with GetAllWaveformData,
#     and writes the time column and one column per channel from A3 down
#     (header row first);
#   - a table of measurements per analog channel goes beside the data;
#   - a line chart of the channels against time goes beside the table.
# Install it for a user by copying this file to
#   ~/.config/libreoffice/4/user/Scripts/python/
# and run it from Tools > Macros > Run Macro... > My Macros > vexscope_calc >
# capture_waveforms. The vexscope package must be importable by
# /usr/bin/python3 (see the README).
import os

import uno
from com.sun.star.awt import Rectangle
from com.sun.star.table import CellRangeAddress

MEASUREMENTS = ["Frequency", "Period", "PeakToPeakVolts", "MaxVoltage", "MinVoltage",
                "AverageVoltage", "RMSVoltage"]
FIRST_ROW = 2  # the header row of the data (row 3 as Calc shows it)


def _column_name(index):
    name = ""
    index += 1
    while index:
        index, rest = divmod(index - 1, 26)
        name = chr(ord("A") + rest) + name
    return name


def fill_sheet(sheet, address):
    """Connects, captures and fills `sheet`; returns the column names."""
    import vexscope

    scope = vexscope.connect(address or None)
    try:
        scope.Digitize()
        table = scope.GetAllWaveformData(vexscope.constants.VexR7100_DataPoints_ALL)
        columns = list(table.columns)
        rows = table.data.shape[0]
        sheet.getCellByPosition(0, 0).String = "Address"
        sheet.getCellByPosition(0, 1).String = "Captured from " + scope.ConnectionName

        # The data block in one call: the header row, then the numbers.
        data = [tuple(columns)] + [tuple(float(v) for v in row) for row in table.data.tolist()]
        block = sheet.getCellRangeByPosition(0, FIRST_ROW, len(columns) - 1, FIRST_ROW + rows)
        block.setDataArray(tuple(data))

        # Measurements of each analog channel beside the data.
        left = len(columns) + 1
        sheet.getCellByPosition(left, FIRST_ROW).String = "Measurement"
        analog = [name for name in columns[1:] if name.upper().startswith("CHAN")]
        for c, name in enumerate(analog):
            sheet.getCellByPosition(left + 1 + c, FIRST_ROW).String = name
        for r, measurement in enumerate(MEASUREMENTS):
            sheet.getCellByPosition(left, FIRST_ROW + 1 + r).String = measurement
            for c, name in enumerate(analog):
                cell = sheet.getCellByPosition(left + 1 + c, FIRST_ROW + 1 + r)
                try:
                    cell.Value = getattr(scope.Measure, measurement)(int(name[4:]))
                except vexscope.AutomationError as error:
                    cell.String = error.description
    finally:
        scope.Close()

    # A line chart of every channel against time.
    charts = sheet.Charts
    if charts.hasByName("Channels"):
        charts.removeByName("Channels")
    source = CellRangeAddress()
    source.Sheet = sheet.RangeAddress.Sheet
    source.StartColumn, source.StartRow = 0, FIRST_ROW
    source.EndColumn, source.EndRow = len(columns) - 1, FIRST_ROW + rows
    table_left = sheet.getCellByPosition(left + len(analog) + 2, FIRST_ROW)
    area = Rectangle(table_left.Position.X, table_left.Position.Y, 16000, 9000)
    charts.addNewByName("Channels", area, (source,), True, False)
    chart = charts.getByName("Channels").EmbeddedObject
    diagram = chart.createInstance("com.sun.star.chart.XYDiagram")
    chart.setDiagram(diagram)
    diagram.SymbolType = uno.getConstantByName("com.sun.star.chart.ChartSymbolType.NONE")
    chart.HasMainTitle = True
    chart.Title.String = "Channels"
    return columns


def capture_waveforms(*args):
    """Tools > Macros > Run Macro: capture the scope into the active sheet (of
    the spreadsheet given as the first argument, when a caller passes one)."""
    doc = args[0] if args and hasattr(args[0], "Sheets") else None
    if doc is None:
        doc = XSCRIPTCONTEXT.getDocument()  # noqa: F821 (given by the script framework)
    sheet = doc.CurrentController.ActiveSheet
    address = sheet.getCellRangeByName("B1").String.strip()
    fill_sheet(sheet, address or os.environ.get("VEXSCOPE_ADDRESS"))


g_exportedScripts = (capture_waveforms,)
