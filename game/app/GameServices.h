#pragma once

class CController;
class CEffectController;
class CInput;
class CQorResourceController;
class CRenderList;

// The five services that scenes and battle code reach. The game application
// publishes them on its loading thread, under the loading lock, once each
// service exists; until then (and in a program without a game application,
// such as a headless battle in a test) each one is null, and callers that can
// run without it check before use.
extern CController* g_pController;
extern CQorResourceController* g_pResourceController;
extern CRenderList* g_pRenderList;
extern CEffectController* g_pEffectController;
extern CInput* g_pInput;

// A layer that closes on a key, or a screen that ends on one, calls this:
// the keys down now reach nothing more until they are let go, so that the
// press acts there alone (the input object's HoldUntilReleased). Nothing
// happens without an input object.
void HoldKeysUntilReleased();
