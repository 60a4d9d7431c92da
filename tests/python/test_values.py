# Values across the boundary between Python and the object model. Numbers
# that do not fit, values of types that do not convert and lone surrogates
# that stand for no byte raise OverflowError, TypeError and
# UnicodeEncodeError naming the member and the argument. Strings hold any
# bytes: a str goes in as UTF-8 with surrogateescape and text comes out
# decoded the same way, so an instrument reply that is not UTF-8 reads as a
# str and a str made from such bytes goes back as those bytes.
import numpy as np
import pytest

import vexscope

# Bytes a UTF-8 decoder refuses (0xFF, 0xFE, an encoded surrogate, a lone
# continuation byte) among text it accepts.
NOT_UTF8 = b"Bench \xff\xfe caf\xc3\xa9 \xed\xa0\x80 \x80"
NOT_UTF8_TEXT = NOT_UTF8.decode("utf-8", "surrogateescape")
# What the simulator's garbage fault sends in place of each reply.
GARBAGE = bytes([0xFF, 0xFE, 0x00, 0x9B, 0x1B, 0x80, 0x07, 0xC3]) * 6


def test_integers_out_of_range_raise_overflow_error_naming_member_and_argument(scope):
    channels = scope.AnalogChannels
    with pytest.raises(OverflowError, match=r"^Item\(\): argument 1 \(Index\): "
                       r"int 9223372036854775808 is out of range"):
        channels.Item(2**63)
    with pytest.raises(OverflowError, match=r"^Item\(\): argument 1 \(Index\): "
                       r"int -9223372036854775809 is out of range"):
        channels.Item(-2**63 - 1)
    with pytest.raises(OverflowError, match=r"^Frequency\(\): argument Channel: "
                       r"int of 1329 bits is out of range"):
        scope.Measure.Frequency(Channel=10**400)
    with pytest.raises(OverflowError, match=r"^setting HorizontalRange: int of 1329 bits"):
        scope.Timebase.HorizontalRange = 10**400
    with pytest.raises(OverflowError, match=r"^Output\(\): argument 1 \(OutputBuffer\)\[1\]\[0\]: "
                       r"int of 1329 bits"):
        scope.Output(["*CLS", [10**400]])
    # Within 64 bits but beyond what the parameter takes: the same error.
    with pytest.raises(OverflowError, match="out of range for Index of 'Item'"):
        channels.Item(2**40)


def test_values_of_other_types_raise_type_error_naming_member_and_argument(scope):
    class Probe:
        pass

    with pytest.raises(TypeError, match=r"^Item\(\): argument 1 \(Index\): "
                       r"a value of type dict cannot be passed"):
        scope.AnalogChannels.Item({})
    with pytest.raises(TypeError, match=r"^Frequency\(\): argument Channel: "
                       r"a value of type Probe cannot be passed"):
        scope.Measure.Frequency(Channel=Probe())
    with pytest.raises(TypeError, match=r"^setting InstanceName: a value of type set"):
        scope.Utilities.InstanceName = {1}
    with pytest.raises(TypeError, match=r"^WriteBytes\(\): argument 2 \(Buffer\): "
                       r"a numpy array of dtype <U4 cannot be passed"):
        scope.WriteBytes(1, np.array(["*CLS"]))
    nested = []
    nested.append(nested)
    with pytest.raises(ValueError, match=r"^Output\(\): argument 1 \(OutputBuffer\)"
                       r"\[0\]\[0\]\[0\]\.\.\.\[0\]\[0\]\[0\]: lists nested more than 100 deep"):
        scope.Output(nested)
    # Compared with anything else, an object is unequal, not an error.
    assert scope != 5 and not scope == "scope"


def test_a_lone_surrogate_that_stands_for_no_byte_raises_unicode_encode_error(scope):
    with pytest.raises(UnicodeEncodeError, match=r"Output\(\): argument 1 \(OutputBuffer\): "
                       r"a lone surrogate stands for no byte") as refused:
        scope.Output("*IDN?\ud800")
    assert isinstance(refused.value, ValueError)
    assert (refused.value.start, refused.value.end) == (5, 6)
    with pytest.raises(UnicodeEncodeError, match="setting InstanceName"):
        scope.Utilities.InstanceName = "\udfff"
    # A name that cannot be a member's is no member.
    assert not hasattr(scope, "Output\ud800")


def test_strings_go_in_and_come_out_as_their_bytes(scope):
    utilities = scope.Utilities
    before = utilities.InstanceName
    try:
        utilities.InstanceName = NOT_UTF8_TEXT
        back = utilities.InstanceName
        assert back == NOT_UTF8_TEXT and back.encode("utf-8", "surrogateescape") == NOT_UTF8
        utilities.InstanceName = 2**40  # beyond 32 bits: a double, here as text
        assert utilities.InstanceName == "1099511627776"
    finally:
        utilities.InstanceName = before


def test_an_instrument_reply_that_is_not_utf8_reads_as_a_str_of_its_bytes(scope):
    scope.Output(":SIM:FAUL GARB")
    try:
        scope.Output("*IDN?")
        reply = scope.Enter("")
    finally:
        scope.Output(":SIM:FAUL NONE")
    assert isinstance(reply, str)
    assert reply.encode("utf-8", "surrogateescape") == GARBAGE


def test_a_memoryview_that_skips_bytes_goes_in_as_the_bytes_it_shows(scope):
    spread = bytes(b for pair in zip(b"*IDN?\n", b"......") for b in pair)
    scope.WriteBytes(6, memoryview(spread)[::2])
    assert scope.Enter("").startswith("VEXAN")
