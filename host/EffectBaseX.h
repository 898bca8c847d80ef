#pragma once

#include "host/EffectBase.h"

#include <cstdint>

/// The base with the VST 2.x operations: the dispatcher for the opcodes from 25 to 79, identity and capability
/// answers, speaker arrangements, and the rest of the host requests. Adds no data to EffectBase.
class EffectBaseX : public EffectBase
{
public:
    /// Runs the EffectBase constructor and adds nothing.
    EffectBaseX(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);

    /// Handles the opcodes from 25 to 79 that it knows; hands every other opcode to EffectBase's dispatcher.
    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;
    /// Asks the host for events (wantEvents(1)) when the effect is a synth or can receive MIDI events.
    void resume() override;

    /// Whether the host may automate a parameter; true for every index here.
    virtual bool canParameterBeAutomated(int32_t index);
    /// Sets a parameter from a text the user typed; false here (not supported).
    virtual bool stringToParameter(int32_t index, char* text);
    /// Fills the host's parameter-properties record; false here (nothing filled).
    virtual bool getParameterProperties(int32_t index, VstParameterProperties* properties);
    /// Tells the host that the user starts changing a parameter; true when the host answers not 0.
    virtual bool beginEdit(int32_t index);
    /// Tells the host that the user stopped changing a parameter; true when the host answers not 0.
    virtual bool endEdit(int32_t index);
    /// Writes the name of a program of a category; false here.
    virtual bool getProgramNameIndexed(int32_t category, int32_t index, char* text);
    /// The host is about to load a program; false here.
    virtual bool beginSetProgram();
    /// The host has loaded a program; false here.
    virtual bool endSetProgram();
    /// The host is about to load a bank; 0 here.
    virtual int32_t beginLoadBank(VstPatchChunkInfo* info);
    /// The host is about to load a program file; 0 here.
    virtual int32_t beginLoadProgram(VstPatchChunkInfo* info);
    /// Tells the host that inputs, outputs, delay or flags changed; true when the host answers not 0.
    virtual bool ioChanged();
    /// Asks the host for its sample rate and stores a positive answer (whole Hz); answers the stored rate.
    virtual float updateSampleRate();
    /// Asks the host for its block size and stores a positive answer; answers the stored size (frames).
    virtual int32_t updateBlockSize();
    /// Asks the host for its input latency (frames); 0 without host.
    virtual int32_t getInputLatency();
    /// Asks the host for its output latency (frames); 0 without host.
    virtual int32_t getOutputLatency();
    /// Fills the host's pin-properties record of an input; false here.
    virtual bool getInputProperties(int32_t index, VstPinProperties* properties);
    /// Fills the host's pin-properties record of an output; false here.
    virtual bool getOutputProperties(int32_t index, VstPinProperties* properties);
    /// The host proposes speaker arrangements; false here (refused).
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output);
    /// Stores the effect's arrangements in the two places; null in both here, and false.
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output);
    /// Bypass on or off; false here (the host bypasses on its own).
    virtual bool setBypass(bool onOff);
    /// Selects the pan law (type and gain); false here.
    virtual bool setPanLaw(int32_t type, float value);
    /// Selects 32- or 64-bit processing; false here.
    virtual bool setProcessPrecision(int32_t precision);
    /// Number of MIDI input channels; 0 here.
    virtual int32_t getNumMidiInputChannels();
    /// Number of MIDI output channels; 0 here.
    virtual int32_t getNumMidiOutputChannels();
    /// Asks the host for its time information (filter: the kVst*Valid bits wanted); null when it has none.
    virtual VstTimeInfo* getTimeInfo(int32_t filter);
    /// Asks the host on which level it calls (user interface, realtime, offline ...); 0 without host.
    virtual int32_t getCurrentProcessLevel();
    /// Asks the host for its automation state (off, read, write ...); 0 without host.
    virtual int32_t getAutomationState();
    /// Receives the events of the next block; 0 here.
    virtual int32_t processEvents(VstEvents* events);
    /// Processing is about to start; 0 here.
    virtual int32_t startProcess();
    /// Processing has stopped; 0 here.
    virtual int32_t stopProcess();
    /// Offline processing with variable input and output lengths; false here.
    virtual bool processVariableIo(VstVariableIo* io);
    /// The host announces how many frames it will process offline; answers the number unchanged.
    virtual int32_t setTotalSampleToProcess(int32_t value);
    /// Asks the host to write its vendor name into text; true when the host answers not 0.
    virtual bool getHostVendorString(char* text);
    /// Asks the host to write its product name into text; true when the host answers not 0.
    virtual bool getHostProductString(char* text);
    /// Asks the host for its vendor-specific version; 0 without host.
    virtual int32_t getHostVendorVersion();
    /// Passes a vendor-specific request to the host; its answer, 0 without host.
    virtual intptr_t hostVendorSpecific(int32_t index, intptr_t value, void* ptr, float opt);
    /// Asks the host whether it can do what text names; true when it answers not 0.
    virtual bool canHostDo(char* text);
    /// Asks the host for its language code; 0 without host.
    virtual int32_t getHostLanguage();
    /// Sets or clears effFlagsIsSynth.
    virtual void setIsSynth(bool state);
    /// Sets or clears effFlagsNoSoundInStop.
    virtual void setNoTail(bool state);
    /// Frames of output that follow silent input; 0 here (the host's default).
    virtual int32_t getTailSize();
    /// Asks the host for the plug-in's directory (a native path); null without host.
    virtual void* getDirectory();
    /// Writes the effect's name (at most 32 characters); false here.
    virtual bool getEffectName(char* name);
    /// Writes the vendor's name (at most 64 characters); false here.
    virtual bool getVendorString(char* text);
    /// Writes the product's name (at most 64 characters); false here.
    virtual bool getProductString(char* text);
    /// The effect's own version number; 0 here.
    virtual int32_t getVendorVersion();
    /// A vendor-specific request from the host; 0 here.
    virtual intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt);
    /// Whether the effect can do what text names: 1 yes, -1 no, 0 don't know; 0 for every text here.
    virtual intptr_t canDo(char* text);
    /// The interface version the effect implements: 2400.
    virtual int32_t getVstVersion();
    /// The effect's category: kPlugCategSynth when effFlagsIsSynth is set, else kPlugCategUnknown.
    virtual int32_t getPlugCategory();
    /// Fills a MIDI program-name record of a channel; 0 here.
    virtual int32_t getMidiProgramName(int32_t channel, MidiProgramName* name);
    /// Fills the record of a channel's current MIDI program; -1 here (none).
    virtual int32_t getCurrentMidiProgram(int32_t channel, MidiProgramName* name);
    /// Fills a MIDI program-category record of a channel; 0 here.
    virtual int32_t getMidiProgramCategory(int32_t channel, MidiProgramCategory* category);
    /// Whether a channel's MIDI programs changed; false here.
    virtual bool hasMidiProgramsChanged(int32_t channel);
    /// Fills a MIDI key-name record of a channel; false here.
    virtual bool getMidiKeyName(int32_t channel, MidiKeyName* keyName);
    /// Asks the host to redraw the effect's parameters; true when it answers not 0.
    virtual bool updateDisplay();
    /// Asks the host to resize the editor window (pixels); true when it answers not 0.
    virtual bool sizeWindow(int32_t width, int32_t height);
    /// Asks the host to open a file selector; false without a call for a null record.
    virtual bool openFileSelector(VstFileSelect* selector);
    /// Asks the host to close a file selector; false without a call for a null record.
    virtual bool closeFileSelector(VstFileSelect* selector);
    /// Writes the name of the next plug-in of a shell; 0 here (not a shell).
    virtual int32_t getNextShellPlugin(char* name);

    /// Replaces *place by a new zeroed arrangement of channels speakers; false (place cleared) when it cannot.
    virtual bool allocateArrangement(VstSpeakerArrangement** place, int32_t channels);
    /// Frees the arrangement *place refers to, if any, and clears the place; true.
    virtual bool deallocateArrangement(VstSpeakerArrangement** place);
    /// Copies one speaker entry (name at most 63 characters); false when either entry is null.
    virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from);
    /// Replaces *place by a copy of source (type, channel count, every speaker); false at the first failure.
    virtual bool matchArrangement(VstSpeakerArrangement** place, VstSpeakerArrangement* source);

    /// Asks the host to read offline data for a task; true when it answers not 0.
    virtual bool offlineRead(VstOfflineTask* task, int32_t option, bool readSource);
    /// Asks the host to write offline data for a task; true when it answers not 0.
    virtual bool offlineWrite(VstOfflineTask* task, int32_t option);
    /// Asks the host to start offline processing of count files; true when it answers not 0.
    virtual bool offlineStart(VstAudioFile* files, int32_t count, int32_t newCount);
    /// Asks the host for the current offline pass: 1 when it answers not 0, else 0.
    virtual int32_t offlineGetCurrentPass();
    /// Asks the host for the current offline meta pass: 1 when it answers not 0, else 0.
    virtual int32_t offlineGetCurrentMetaPass();
    /// The host announces offline files; false here.
    virtual bool offlineNotify(VstAudioFile* files, int32_t count, bool start);
    /// The host prepares offline tasks; false here.
    virtual bool offlinePrepare(VstOfflineTask* tasks, int32_t count);
    /// The host runs offline tasks; false here.
    virtual bool offlineRun(VstOfflineTask* tasks, int32_t count);

    /// Asks the host to send events (filter: which ones); its answer, 0 without host.
    virtual intptr_t wantEvents(int32_t filter);
    /// Asks the host for the tempo at a position (frames); its answer, 0 without host.
    virtual int32_t tempoAt(int32_t position);
    /// Asks the host how many parameters it can automate; 0 without host.
    virtual int32_t getNumAutomatableParameters();
    /// Asks the host for its parameter quantization; 0 without host.
    virtual int32_t getParameterQuantization();
    /// Tells the host the effect needs idle calls; true when it answers not 0.
    virtual bool needIdle();
    /// Asks the host for the plug-in feeding an input (the input is not sent); null without host.
    virtual AEffect* getPreviousPlug(int32_t input);
    /// Asks the host for the plug-in fed by an output (the output is not sent); null without host.
    virtual AEffect* getNextPlug(int32_t output);
    /// Asks the host whether it will replace or accumulate; its answer, 0 without host.
    virtual int32_t willReplaceOrAccumulate();
    /// Sets or clears effFlagsExtIsAsync.
    virtual void setIsAsynchronous(bool state);
    /// Sets or clears effFlagsExtHasBuffer.
    virtual void setHasExternalBuffer(bool state);
    /// Asks the host to change the output sample rate (Hz); its answer, 0 without host.
    virtual intptr_t setOutputSampleRate(float rate);
    /// Asks the host for its input speaker arrangement; null without host.
    virtual VstSpeakerArrangement* getInputSpeakerArrangement();
    /// Asks the host for its output speaker arrangement; null without host.
    virtual VstSpeakerArrangement* getOutputSpeakerArrangement();
    /// Asks the host to open a window; its answer, 0 without host.
    virtual intptr_t openWindow(VstWindow* window);
    /// Asks the host to close a window; true when it answers not 0.
    virtual bool closeWindow(VstWindow* window);
    /// Stores block size (frames) and sample rate (Hz) together.
    virtual void setBlockSizeAndSampleRate(int32_t frames, float rate);
    /// Asks the host for the path of the chunk file being loaded; false without a call for a null path.
    virtual bool getChunkFile(char* nativePath);
};
