# The longest walks start first, so that the stage ends no later than the
# longest one: each walk's cost is its seconds in the optimized build on two
# busy cores, above every other test's.
set_tests_properties(
  [==[RandomMatchProgram.MatchesMadeWhileBothChooseThenARoomWhoseBattlesNameThePlayersAndWhoseStalledGuestIsDropped]==]
  PROPERTIES COST 10240)
set_tests_properties(
  [==[QorProgram.WalksIntoTheStoryShopEquipmentReplayAndTutorialAndBackToTheTitle]==]
  PROPERTIES COST 10175)
set_tests_properties(
  [==[LocalBattleProgram.FromTheLogoToABattleAgainstThreeComputersPlayedTwiceAndBackToTheTitle]==]
  PROPERTIES COST 10103)
set_tests_properties([==[MissionProgram.TheFirstMissionsListAndBattleAndBackToTheTitle]==] PROPERTIES COST 10045)
set_tests_properties([==[ReplayStallProgram.TheWindowAnswersItsKeysWhileAReplayFrameOfAMinuteRuns]==] PROPERTIES COST 10041)
set_tests_properties([==[QorProgram.WalksFromTheLogoThroughTheOptionsAndRecordsToTheQuitItem]==] PROPERTIES COST 10034)
