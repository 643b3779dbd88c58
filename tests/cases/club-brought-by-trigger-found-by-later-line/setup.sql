-- Storing the first line's club brings the second line's into the Club table under the
-- placeholder name: the second line finds it there and fills its name in.
CREATE TRIGGER bring AFTER INSERT ON Club WHEN NEW.Code_federal = 'FRA1010350007'
BEGIN INSERT INTO Club (Code_federal, Intitule, Selection) VALUES ('FRA3070340004', 'Null', 0); END;
