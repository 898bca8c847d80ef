#pragma once

#include "host/VstInterface.h"

#include <atomic>
#include <cstdint>

class EditorBase;

/// The base of every effect object: owns the AEffect record the host drives the instance through, the host callback
/// and the engine state (sample rate, block size, program and parameter counts). The record's function entries lead
/// into the virtual operations below, which a derived effect overrides; it never replaces the dispatcher.
///
/// Threads: the host's audio thread calls the processing operations while its other threads may call the
/// dispatcher and the parameter entries. There are no locks: the values written from one thread and read on another
/// (sample rate, block size, current program) are atomics with relaxed order.
class EffectBase
{
public:
    /// Fills the record: magic, the six function entries, the counts, one input, two outputs, replacing processing,
    /// identifier 'NoEf', version 1. audioMaster may be null (then every host request answers its no-host value).
    EffectBase(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);
    /// Destroys the editor, if any. Does not talk to the host.
    virtual ~EffectBase();

    EffectBase(const EffectBase&) = delete;
    EffectBase& operator=(const EffectBase&) = delete;

    /// Handles the host opcodes 0 to 24; answers 0 to every other opcode.
    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    /// The host opened the instance (effOpen). Does nothing here.
    virtual void open();
    /// The host is about to close the instance (effClose), before it is destroyed. Does nothing here.
    virtual void close();
    /// Processing is switched off (effMainsChanged 0). Does nothing here.
    virtual void suspend();
    /// Processing is switched on (effMainsChanged not 0). Does nothing here.
    virtual void resume();
    /// Stores the host's sample rate (Hz) unchecked.
    virtual void setSampleRate(float sampleRateHz);
    /// Stores the largest number of frames the host will pass to one processing call, unchecked.
    virtual void setBlockSize(int32_t frames);
    /// Replaces outputs[channel][0..sampleFrames) with the processed inputs. Every effect provides it.
    virtual void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) = 0;
    /// Double-precision replacing processing. Does nothing here (the record does not announce it).
    virtual void processDoubleReplacing(double** inputs, double** outputs, int32_t sampleFrames);
    /// Stores a parameter's normalised value. Does nothing here.
    virtual void setParameter(int32_t index, float value);
    /// A parameter's normalised value; 0 here.
    virtual float getParameter(int32_t index);
    /// Sets a parameter as the effect's own change and tells the host about it (audioMasterAutomate).
    virtual void setParameterAutomated(int32_t index, float value);
    /// Index of the current program.
    virtual int32_t getProgram();
    /// Makes program the current one (effSetProgram has already checked it against numPrograms).
    virtual void setProgram(int32_t program);
    /// Renames the current program. Does nothing here.
    virtual void setProgramName(char* name);
    /// Writes the current program's name; an empty text here.
    virtual void getProgramName(char* name);
    /// Writes the unit label of a parameter; an empty text here.
    virtual void getParameterLabel(int32_t index, char* label);
    /// Writes the display text of a parameter's value; an empty text here.
    virtual void getParameterDisplay(int32_t index, char* text);
    /// Writes the name of a parameter; an empty text here.
    virtual void getParameterName(int32_t index, char* text);
    /// Points *data at the effect's state and answers its size in bytes; 0 here (no state block).
    virtual int32_t getChunk(void** data, bool isPreset);
    /// Restores the effect's state from a block of byteSize bytes; 0 here.
    virtual int32_t setChunk(void* data, int32_t byteSize, bool isPreset);
    /// Writes the record's four-character identifier.
    virtual void setUniqueId(int32_t id);
    /// Writes the record's number of inputs.
    virtual void setNumInputs(int32_t inputs);
    /// Writes the record's number of outputs.
    virtual void setNumOutputs(int32_t outputs);
    /// Sets or clears effFlagsCanReplacing.
    virtual void setCanReplacing(bool state);
    /// Sets or clears effFlagsCanDoubleReplacing.
    virtual void setCanDoubleReplacing(bool state);
    /// Sets or clears effFlagsProgramChunks.
    virtual void setProgramsAreChunks(bool state);
    /// Writes the record's initial delay (frames of latency).
    virtual void setInitialDelay(int32_t delayFrames);
    /// The owned editor, or null.
    virtual EditorBase* getEditor();
    /// The address of the record the host holds for this instance.
    virtual AEffect* getEffectRecord();
    /// The sample rate last set by the host (Hz); 44100 until then.
    virtual float getSampleRate();
    /// The block size last set by the host (frames); 1024 until then.
    virtual int32_t getBlockSize();
    /// Asks the host for its version; 1 when it answers 0 or there is no host.
    virtual int32_t getHostVersion();
    /// Asks the host for the identifier of the plug-in it is currently loading (shell plug-ins); 0 without host.
    virtual int32_t getCurrentUniqueId();
    /// Gives the host a chance to do idle work; its answer, 0 without host.
    virtual intptr_t hostIdle();
    /// Whether an input pin is connected: true when the host answers 0, and without host.
    virtual bool isInputConnected(int32_t input);
    /// Whether an output pin is connected: true when the host answers 0, and without host.
    virtual bool isOutputConnected(int32_t output);
    /// Writes a linear amplitude factor as decibels, 8 characters ("-oo" for 0 or less).
    virtual void dbToText(float value, char* text, int32_t maxLen);
    /// Writes a period length (frames) as a frequency in Hz at the current sample rate, 8 characters.
    virtual void hzToText(float samples, char* text, int32_t maxLen);
    /// Writes a length (frames) as milliseconds at the current sample rate, 8 characters.
    virtual void msToText(float samples, char* text, int32_t maxLen);
    /// Writes a number with exactly 8 characters counting sign and point (1.5 gives "1.500000"), or "Huge!".
    virtual void floatToText(float value, char* text, int32_t maxLen);
    /// Writes an integer in decimal without leading zeros, or "Huge!".
    virtual void intToText(int32_t value, char* text, int32_t maxLen);
    /// Accumulating processing (adds into the outputs). Does nothing here.
    virtual void process(float** inputs, float** outputs, int32_t sampleFrames);
    /// The current level for a host's meter; 0 here.
    virtual float getVu();
    /// Sets or clears effFlagsHasVu.
    virtual void setHasVu(bool state);
    /// Sets or clears effFlagsHasClip.
    virtual void setHasClip(bool state);
    /// Sets or clears effFlagsCanMono.
    virtual void setCanMono(bool state);
    /// Writes the record's realtime qualities.
    virtual void setRealtimeQualities(int32_t qualities);
    /// Writes the record's offline qualities.
    virtual void setOfflineQualities(int32_t qualities);

    /// Bounded copy: at most maxLen characters of source, zero bytes up to position maxLen, then a zero at maxLen.
    /// text must hold maxLen + 1 bytes; a maxLen below 0 writes nothing.
    static void copyBounded(char* text, const char* source, int32_t maxLen);
    /// Bounded append: source after the text's end, the text never longer than maxLen, then a zero at maxLen.
    static void appendBounded(char* text, const char* source, int32_t maxLen);

protected:
    /// Calls the host once with this instance's record and answers its result; 0 without a callback.
    intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
    /// Sets (true) or clears (false) a bit of the record's flags.
    void setFlag(int32_t flag, bool state);

    audioMasterCallback audioMaster = nullptr; // the host's callback; may be null
    EditorBase* editor = nullptr;              // owned; null in Tessaloom
    std::atomic<float> sampleRate{44100.0f};   // Hz, as last set by the host
    std::atomic<int32_t> blockSize{1024};      // frames, the most one processing call will pass
    int32_t numPrograms = 0;
    int32_t numParams = 0;
    std::atomic<int32_t> curProgram{0};
    AEffect effectRecord{}; // held by value: its address is fixed for the object's life and leads back to it

private:
    // The record's function entries: each finds the object through the record and calls its virtual operation.
    // None lets an exception reach the host, and a null record or object makes them do nothing (answer 0).
    static intptr_t VSTCALLBACK hostDispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                               void* ptr, float opt);
    static void VSTCALLBACK hostProcess(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
    static void VSTCALLBACK hostSetParameter(AEffect* effect, int32_t index, float value);
    static float VSTCALLBACK hostGetParameter(AEffect* effect, int32_t index);
    static void VSTCALLBACK hostProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                                 int32_t sampleFrames);
    static void VSTCALLBACK hostProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                       int32_t sampleFrames);
    /// The object behind a record, or null.
    static EffectBase* objectOf(AEffect* effect);
};
